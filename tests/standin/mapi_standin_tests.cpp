// The stand-in MAPI subsystem driven through its entry points and
// interfaces, with its files in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "mapi_standin_test_helpers.h"
#include "standin/mapi/mapi_standin.h"
#include "standin/mapi/profile_store.h"
#include "platform/text.h"
#include "support/scoped_env.h"

namespace kalinor::mapi_standin {
namespace {

// Calls name the stand-in explicitly: on Windows the SDK declares the same
// functions globally, and argument-dependent lookup would find both.
namespace standin = kalinor::mapi_standin;

using kalinor::testing::ScopedEnvironmentVariable;
using test_helpers::ReadAndReleaseTable;
using test_helpers::ReadFileBytes;
using test_helpers::RowValues;
using test_helpers::TemporaryFolder;
using test_helpers::WidePath;
using test_helpers::WriteFileBytes;

LPTSTR Text8(const char* text) { return reinterpret_cast<LPTSTR>(const_cast<char*>(text)); }
LPTSTR TextWide(const wchar_t* text) {
  return reinterpret_cast<LPTSTR>(const_cast<wchar_t*>(text));
}

MAPIUID UidFromBytes(const std::string& bytes) {
  MAPIUID uid{};
  EXPECT_EQ(bytes.size(), sizeof(uid.ab));
  std::copy_n(bytes.begin(), std::min(bytes.size(), sizeof(uid.ab)), uid.ab);
  return uid;
}

class MapiStandin : public ::testing::Test {
 protected:
  MapiStandin()
      : m_store(m_folder.Path() / "config" / "kalinor" / "profiles.xml"),
        m_catalogue(m_folder.Path() / "mapisvc.inf"),
        m_store_variable(L"KALINOR_MAPI_PROFILES", WidePath(m_store)),
        m_catalogue_variable(L"KALINOR_MAPISVC", WidePath(m_catalogue)) {}

  void SetUp() override {
    MAPIINIT_0 init{MAPI_INIT_VERSION, 0};
    ASSERT_EQ(standin::MAPIInitialize(&init), S_OK);
  }
  void TearDown() override { standin::MAPIUninitialize(); }

  // A new IProfAdmin, as a new run would open it.
  IProfAdmin* OpenProfAdmin() {
    IProfAdmin* admin = nullptr;
    EXPECT_EQ(standin::MAPIAdminProfiles(0, &admin), S_OK);
    return admin;
  }

  // The profile's service administration, opened as the tool opens it.
  IMsgServiceAdmin* OpenServiceAdmin(const wchar_t* profile = L"Default") {
    IProfAdmin* admin = OpenProfAdmin();
    if (admin == nullptr) return nullptr;
    IMsgServiceAdmin* services = nullptr;
    EXPECT_EQ(admin->AdminServices(TextWide(profile), nullptr, 0, MAPI_UNICODE, &services), S_OK);
    admin->Release();
    return services;
  }

  std::vector<RowValues> ProfileRows() {
    IProfAdmin* admin = OpenProfAdmin();
    IMAPITable* table = nullptr;
    EXPECT_EQ(admin->GetProfileTable(0, &table), S_OK);
    admin->Release();
    return table == nullptr ? std::vector<RowValues>() : ReadAndReleaseTable(table);
  }

  std::vector<RowValues> ServiceRows(IMsgServiceAdmin* services) {
    IMAPITable* table = nullptr;
    EXPECT_EQ(services->GetMsgServiceTable(0, &table), S_OK);
    return table == nullptr ? std::vector<RowValues>() : ReadAndReleaseTable(table);
  }

  // The services of a profile as a fresh run sees them.
  std::vector<RowValues> FreshServiceRows(const wchar_t* profile = L"Default") {
    standin::MAPIUninitialize();
    MAPIINIT_0 init{MAPI_INIT_VERSION, 0};
    EXPECT_EQ(standin::MAPIInitialize(&init), S_OK);
    IMsgServiceAdmin* services = OpenServiceAdmin(profile);
    if (services == nullptr) return {};
    std::vector<RowValues> rows = ServiceRows(services);
    services->Release();
    return rows;
  }

  ProfileStore StoreOnDisk() {
    ProfileStore store;
    EXPECT_TRUE(ParseProfileStore(ReadFileBytes(m_store), store));
    return store;
  }

  TemporaryFolder m_folder;
  const std::filesystem::path m_store;
  const std::filesystem::path m_catalogue;
  ScopedEnvironmentVariable m_store_variable;
  ScopedEnvironmentVariable m_catalogue_variable;
};

TEST_F(MapiStandin, MissingStoreReadsAsTheEmbeddedDefaultWithoutWritingIt) {
  const std::vector<RowValues> profiles = ProfileRows();
  ASSERT_EQ(profiles.size(), 1u);
  EXPECT_EQ(profiles[0].Bytes(PR_DISPLAY_NAME_A), "Default");
  EXPECT_EQ(profiles[0].flags.at(PR_DEFAULT_PROFILE), true);
  EXPECT_TRUE(FreshServiceRows().empty());
  EXPECT_FALSE(std::filesystem::exists(m_store.parent_path()));
}

TEST_F(MapiStandin, ServicesAreCreatedConfiguredAndDeletedOnDisk) {
  IMsgServiceAdmin* services = OpenServiceAdmin(L"default");
  ASSERT_NE(services, nullptr);
  ASSERT_EQ(services->CreateMsgService(Text8("ArchiveConnector"), Text8("Archive Connector"), 0, 0),
            S_OK);
  ASSERT_EQ(services->CreateMsgService(Text8("ArchiveConnector"), Text8("Second"), 0, 0), S_OK);
  ASSERT_EQ(services->CreateMsgService(Text8("Z\xC3\xBCrich"), nullptr, 0, 0), S_OK);
  services->Release();

  std::vector<RowValues> rows = FreshServiceRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].Bytes(PR_SERVICE_NAME_A), "ArchiveConnector");
  EXPECT_EQ(rows[0].Bytes(PR_DISPLAY_NAME_A), "Archive Connector");
  EXPECT_EQ(rows[1].Bytes(PR_DISPLAY_NAME_A), "Second");
  EXPECT_EQ(rows[2].Bytes(PR_SERVICE_NAME_A), "Z\xC3\xBCrich");
  EXPECT_EQ(rows[2].Bytes(PR_DISPLAY_NAME_A), "Z\xC3\xBCrich");
  std::set<std::string> uids;
  for (const RowValues& row : rows) uids.insert(row.Bytes(PR_SERVICE_UID).value_or(""));
  EXPECT_EQ(uids.size(), 3u);
  EXPECT_EQ(uids.count(std::string(16, '\0')), 0u);
  for (const std::string& uid : uids) EXPECT_EQ(uid.size(), 16u);

  MAPIUID first = UidFromBytes(*rows[0].Bytes(PR_SERVICE_UID));
  MAPIUID second = UidFromBytes(*rows[1].Bytes(PR_SERVICE_UID));
  services = OpenServiceAdmin();
  EXPECT_EQ(services->ConfigureMsgService(&second, 0, 0, 0, nullptr), S_OK);
  EXPECT_EQ(services->DeleteMsgService(&first), S_OK);
  EXPECT_EQ(services->DeleteMsgService(&first), MAPI_E_NOT_FOUND);
  EXPECT_EQ(services->ConfigureMsgService(&first, 0, 0, 0, nullptr), MAPI_E_NOT_FOUND);
  services->Release();

  rows = FreshServiceRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Bytes(PR_DISPLAY_NAME_A), "Second");
  const ProfileStore store = StoreOnDisk();
  ASSERT_EQ(store.profiles.size(), 1u);
  EXPECT_EQ(store.profiles[0].name, L"Default");
  EXPECT_TRUE(store.profiles[0].is_default);
  ASSERT_EQ(store.profiles[0].services.size(), 2u);
  EXPECT_TRUE(store.profiles[0].services[0].configured);
  EXPECT_FALSE(store.profiles[0].services[1].configured);
}

// Each piece must appear in text after the one before it.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& pieces) {
  size_t from = 0;
  for (const std::string& piece : pieces) {
    const size_t found = text.find(piece, from);
    EXPECT_NE(found, std::string::npos) << "missing or out of order: " << piece << "\nin:\n"
                                        << text;
    if (found != std::string::npos) from = found + piece.size();
  }
}

TEST_F(MapiStandin, WhatTheStoreDoesNotKnowSurvivesAnInstallAndAnUninstall) {
  std::filesystem::create_directories(m_store.parent_path());
  WriteFileBytes(m_store,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- kept by hand -->\n"
                 "<?client keep?>\n<Profiles version=\"2\">\n"
                 "  <Profile server=\"mail.example\" name=\"Default\" default=\"true\" "
                 "pst=\"C:\\mail &amp; more.pst\">\n"
                 "    <!-- the old service -->\n"
                 "    <Service flavour=\"x\" name=\"Old\" uid=\"000102030405060708090a0b0c0d0e0f\">"
                 "<Settings a=\"1\">text &lt; <b/><![CDATA[raw]]></Settings></Service>\n"
                 "    <Extra/>\n"
                 "  </Profile>\n"
                 "  <Unknown><Nested>deep</Nested></Unknown>\n"
                 "</Profiles>\n<!-- end -->\n");
  const std::vector<std::string> kept = {
      "<!-- kept by hand -->",
      "<?client keep?>",
      "version=\"2\"",
      "server=\"mail.example\"",
      "pst=\"C:\\mail &amp; more.pst\"",
      "<!-- the old service -->",
      "flavour=\"x\"",
      "<Settings a=\"1\">text &lt; <b/><![CDATA[raw]]></Settings>",
      "<Extra/>",
      "<Unknown><Nested>deep</Nested></Unknown>",
      "<!-- end -->"};

  IMsgServiceAdmin* services = OpenServiceAdmin();
  ASSERT_NE(services, nullptr);
  ASSERT_EQ(services->CreateMsgService(Text8("ArchiveConnector"), Text8("Archive"), 0, 0), S_OK);
  std::vector<RowValues> rows = ServiceRows(services);
  ASSERT_EQ(rows.size(), 2u);
  MAPIUID old_uid = UidFromBytes(*rows[0].Bytes(PR_SERVICE_UID));
  MAPIUID new_uid = UidFromBytes(*rows[1].Bytes(PR_SERVICE_UID));
  ASSERT_EQ(services->ConfigureMsgService(&new_uid, 0, 0, 0, nullptr), S_OK);
  ExpectInOrder(ReadFileBytes(m_store), kept);

  ASSERT_EQ(services->DeleteMsgService(&new_uid), S_OK);
  ASSERT_EQ(services->DeleteMsgService(&old_uid), S_OK);
  services->Release();
  std::vector<std::string> after_uninstall = kept;
  std::erase(after_uninstall, "flavour=\"x\"");  // went with the old service
  std::erase(after_uninstall, "<Settings a=\"1\">text &lt; <b/><![CDATA[raw]]></Settings>");
  ExpectInOrder(ReadFileBytes(m_store), after_uninstall);
  EXPECT_EQ(StoreOnDisk().profiles.at(0).name, L"Default");
}

TEST_F(MapiStandin, NamesTheXmlFileCannotHoldAreRefusedAndTheStoreIsLeftAsItWas) {
  IMsgServiceAdmin* services = OpenServiceAdmin();
  ASSERT_NE(services, nullptr);
  ASSERT_EQ(services->CreateMsgService(Text8("A"), Text8("A"), 0, 0), S_OK);
  const std::string before = ReadFileBytes(m_store);

  struct Case {
    LPTSTR name;
    LPTSTR display_name;
    ULONG flags;
  };
  std::vector<Case> refused = {
      {Text8("Bell\x07"), Text8("Bell"), 0},
      {Text8("Bell"), Text8("Escape\x1B"), 0},
      {TextWide(L"Half\xDC80"), TextWide(L"Half"), MAPI_UNICODE},  // an undecodable byte
      {TextWide(L"Half"), TextWide(L"Half\xD800"), MAPI_UNICODE},
      {TextWide(L"Not\xFFFE"), TextWide(L"Not"), MAPI_UNICODE},
  };
  // Where the 8-bit text is UTF-8, an invalid byte arrives as U+DC80 + byte.
  if (platform::FromAnsiCodePage("\xFF") == L"\xDCFF")
    refused.push_back({Text8("Bad\xFF"), Text8("B"), 0});
  for (const Case& test : refused) {
    EXPECT_EQ(services->CreateMsgService(test.name, test.display_name, 0, test.flags),
              MAPI_E_INVALID_PARAMETER);
  }
  EXPECT_EQ(ReadFileBytes(m_store), before);

  // Tab, line break and characters beyond U+FFFF are XML's own.
  ASSERT_EQ(services->CreateMsgService(TextWide(L"Tab\tand \U0001F600"), TextWide(L"Line\nbreak"),
                                       0, MAPI_UNICODE),
            S_OK);
  services->Release();
  const ProfileStore store = StoreOnDisk();
  ASSERT_EQ(store.profiles.at(0).services.size(), 2u);
  EXPECT_EQ(store.profiles[0].services[1].name, L"Tab\tand \U0001F600");
  EXPECT_EQ(store.profiles[0].services[1].display_name, L"Line\nbreak");
}

TEST_F(MapiStandin, ProfilesAreFoundIgnoringCaseAndMissingOnesAreNotFound) {
  std::filesystem::create_directories(m_store.parent_path());
  WriteFileBytes(m_store,
                 "<Profiles><Profile name=\"Outlook\"/><Profile default=\"true\"/>"
                 "<Profile name=\"Work\" default=\"true\"/></Profiles>");
  const std::vector<RowValues> profiles = ProfileRows();
  ASSERT_EQ(profiles.size(), 3u);
  EXPECT_EQ(profiles[0].Bytes(PR_DISPLAY_NAME_A), "Outlook");
  EXPECT_FALSE(profiles[0].flags.at(PR_DEFAULT_PROFILE));
  EXPECT_FALSE(profiles[1].Bytes(PR_DISPLAY_NAME_A).has_value());
  EXPECT_TRUE(profiles[1].flags.at(PR_DEFAULT_PROFILE));
  EXPECT_EQ(profiles[2].Bytes(PR_DISPLAY_NAME_A), "Work");
  EXPECT_TRUE(profiles[2].flags.at(PR_DEFAULT_PROFILE));

  IProfAdmin* admin = OpenProfAdmin();
  IMsgServiceAdmin* services = nullptr;
  EXPECT_EQ(admin->AdminServices(Text8("WORK"), nullptr, 0, 0, &services), S_OK);
  ASSERT_NE(services, nullptr);
  services->Release();
  services = reinterpret_cast<IMsgServiceAdmin*>(admin);  // must be overwritten with null
  EXPECT_EQ(admin->AdminServices(TextWide(L"Default"), nullptr, 0, MAPI_UNICODE, &services),
            MAPI_E_NOT_FOUND);
  EXPECT_EQ(services, nullptr);
  EXPECT_EQ(admin->AdminServices(Text8(""), nullptr, 0, 0, &services), MAPI_E_NOT_FOUND);
  EXPECT_EQ(admin->Release(), 0u);
}

TEST_F(MapiStandin, ServiceAdminOfAProfileRemovedMeanwhileFindsNothing) {
  IMsgServiceAdmin* services = OpenServiceAdmin();
  ASSERT_NE(services, nullptr);
  std::filesystem::create_directories(m_store.parent_path());
  WriteFileBytes(m_store, "<Profiles><Profile name=\"Other\"/></Profiles>");
  IMAPITable* table = nullptr;
  EXPECT_EQ(services->GetMsgServiceTable(0, &table), MAPI_E_NOT_FOUND);
  EXPECT_EQ(services->CreateMsgService(Text8("X"), Text8("X"), 0, 0), MAPI_E_NOT_FOUND);
  services->Release();
  EXPECT_EQ(ReadFileBytes(m_store), "<Profiles><Profile name=\"Other\"/></Profiles>");
}

TEST_F(MapiStandin, CatalogueRefusesUnlistedNamesAndGivesTheDisplayName) {
  WriteFileBytes(m_catalogue, "[Services]\nArchiveConnector=Archive Connector\n");
  IMsgServiceAdmin* services = OpenServiceAdmin();
  ASSERT_NE(services, nullptr);
  EXPECT_EQ(services->CreateMsgService(Text8("Unknown"), Text8("Unknown"), 0, 0), MAPI_E_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(m_store));
  EXPECT_EQ(services->CreateMsgService(Text8("archiveCONNECTOR"), Text8("Given Name"), 0, 0), S_OK);
  services->Release();

  const std::vector<RowValues> rows = FreshServiceRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Bytes(PR_SERVICE_NAME_A), "archiveCONNECTOR");
  EXPECT_EQ(rows[0].Bytes(PR_DISPLAY_NAME_A), "Archive Connector");
}

TEST_F(MapiStandin, MalformedStoreFailsEveryCallAndIsLeftUntouched) {
  IMsgServiceAdmin* services = OpenServiceAdmin();
  ASSERT_NE(services, nullptr);
  ASSERT_EQ(services->CreateMsgService(Text8("A"), Text8("A"), 0, 0), S_OK);
  const std::vector<RowValues> rows = ServiceRows(services);
  ASSERT_EQ(rows.size(), 1u);
  MAPIUID uid = UidFromBytes(*rows[0].Bytes(PR_SERVICE_UID));

  const std::string broken = ReadFileBytes(m_store).substr(0, 60);
  WriteFileBytes(m_store, broken);
  IMAPITable* table = nullptr;
  EXPECT_EQ(services->GetMsgServiceTable(0, &table), MAPI_E_CALL_FAILED);
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(services->CreateMsgService(Text8("B"), Text8("B"), 0, 0), MAPI_E_CALL_FAILED);
  EXPECT_EQ(services->ConfigureMsgService(&uid, 0, 0, 0, nullptr), MAPI_E_CALL_FAILED);
  EXPECT_EQ(services->DeleteMsgService(&uid), MAPI_E_CALL_FAILED);
  services->Release();

  IProfAdmin* admin = OpenProfAdmin();
  EXPECT_EQ(admin->GetProfileTable(0, &table), MAPI_E_CALL_FAILED);
  EXPECT_EQ(admin->AdminServices(TextWide(L"Default"), nullptr, 0, MAPI_UNICODE, &services),
            MAPI_E_CALL_FAILED);
  admin->Release();
  EXPECT_EQ(ReadFileBytes(m_store), broken);
}

TEST_F(MapiStandin, StoreThatCannotBeWrittenFailsTheChange) {
  // The store's folder is taken by a file, so neither the folder nor the
  // lock file can be made.
  WriteFileBytes(m_folder.Path() / "config", "not a folder");
  IMsgServiceAdmin* services = OpenServiceAdmin();
  ASSERT_NE(services, nullptr);
  EXPECT_EQ(services->CreateMsgService(Text8("A"), Text8("A"), 0, 0), MAPI_E_CALL_FAILED);
  services->Release();
  EXPECT_EQ(ReadFileBytes(m_folder.Path() / "config"), "not a folder");
}

TEST_F(MapiStandin, TablesAreSnapshotsReadFromTheCurrentPosition) {
  IMsgServiceAdmin* services = OpenServiceAdmin();
  ASSERT_NE(services, nullptr);
  ASSERT_EQ(services->CreateMsgService(Text8("A"), Text8("A"), 0, 0), S_OK);
  ASSERT_EQ(services->CreateMsgService(Text8("B"), Text8("B"), 0, 0), S_OK);
  IMAPITable* table = nullptr;
  ASSERT_EQ(services->GetMsgServiceTable(0, &table), S_OK);
  ASSERT_EQ(services->CreateMsgService(Text8("C"), Text8("C"), 0, 0), S_OK);

  ULONG count = 0;
  EXPECT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 2u);
  const char* expected[] = {"A", "B"};
  for (const char* name : expected) {
    LPSRowSet rows = nullptr;
    ASSERT_EQ(table->QueryRows(1, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 1u);
    bool found = false;
    for (ULONG v = 0; v < rows->aRow[0].cValues; ++v)
      if (rows->aRow[0].lpProps[v].ulPropTag == PR_SERVICE_NAME_A)
        found = std::string(rows->aRow[0].lpProps[v].Value.lpszA) == name;
    EXPECT_TRUE(found) << name;
    standin::FreeProws(rows);
  }
  LPSRowSet rest = nullptr;
  ASSERT_EQ(table->QueryRows(5, 0, &rest), S_OK);
  EXPECT_EQ(rest->cRows, 0u);
  standin::FreeProws(rest);
  LPSRowSet back = nullptr;
  ASSERT_EQ(table->QueryRows(-5, 0, &back), S_OK);
  EXPECT_EQ(back->cRows, 2u);
  standin::FreeProws(back);
  EXPECT_EQ(table->SetColumns(nullptr, 0), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(table->Release(), 0u);
  EXPECT_EQ(ServiceRows(services).size(), 3u);
  services->Release();
}

TEST_F(MapiStandin, ObjectsAnswerIUnknownAndTheirOwnInterfaceOnly) {
  const GUID iid_unknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  const GUID iid_prof_admin = {0x0002031C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  const GUID iid_service_admin = {0x0002031D, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  IProfAdmin* admin = OpenProfAdmin();
  void* object = nullptr;
  ASSERT_EQ(admin->QueryInterface(iid_unknown, &object), S_OK);
  EXPECT_EQ(object, static_cast<IUnknown*>(admin));
  ASSERT_EQ(admin->QueryInterface(iid_prof_admin, &object), S_OK);
  EXPECT_EQ(admin->QueryInterface(iid_service_admin, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(admin->Release(), 2u);
  EXPECT_EQ(admin->Release(), 1u);
  EXPECT_EQ(admin->AddRef(), 2u);
  EXPECT_EQ(admin->Release(), 1u);
  EXPECT_EQ(admin->Release(), 0u);
}

TEST_F(MapiStandin, TwoWritersAtOnceLoseNothing) {
  constexpr int kServicesPerWriter = 20;
  auto writer = [this](char tag) {
    // Each writer has objects of its own, as a second process would.
    IMsgServiceAdmin* services = OpenServiceAdmin();
    ASSERT_NE(services, nullptr);
    for (int i = 0; i < kServicesPerWriter; ++i) {
      const std::string name = std::string(1, tag) + std::to_string(i);
      EXPECT_EQ(services->CreateMsgService(Text8(name.c_str()), Text8(name.c_str()), 0, 0), S_OK);
    }
    services->Release();
  };
  std::thread first(writer, 'a');
  std::thread second(writer, 'b');
  first.join();
  second.join();

  std::set<std::string> names;
  std::set<std::string> uids;
  for (const RowValues& row : FreshServiceRows()) {
    names.insert(row.Bytes(PR_SERVICE_NAME_A).value_or(""));
    uids.insert(row.Bytes(PR_SERVICE_UID).value_or(""));
  }
  EXPECT_EQ(names.size(), 2u * kServicesPerWriter);
  EXPECT_EQ(uids.size(), 2u * kServicesPerWriter);
  EXPECT_TRUE(names.count("a0") && names.count("b19"));
}

TEST(MapiStandinStart, AdministrationNeedsAStartAndStartsAreCounted) {
  IProfAdmin* admin = nullptr;
  EXPECT_EQ(standin::MAPIAdminProfiles(0, &admin), MAPI_E_NOT_INITIALIZED);
  MAPIINIT_0 wrong{1, 0};
  EXPECT_EQ(standin::MAPIInitialize(&wrong), static_cast<HRESULT>(0x80040110));
  EXPECT_EQ(standin::MAPIAdminProfiles(0, &admin), MAPI_E_NOT_INITIALIZED);

  MAPIINIT_0 init{MAPI_INIT_VERSION, 0};
  ASSERT_EQ(standin::MAPIInitialize(&init), S_OK);
  ASSERT_EQ(standin::MAPIInitialize(nullptr), S_OK);
  standin::MAPIUninitialize();
  ASSERT_EQ(standin::MAPIAdminProfiles(0, &admin), S_OK);
  EXPECT_EQ(admin->Release(), 0u);
  standin::MAPIUninitialize();
  EXPECT_EQ(standin::MAPIAdminProfiles(0, &admin), MAPI_E_NOT_INITIALIZED);
  EXPECT_EQ(admin, nullptr);
  standin::MAPIUninitialize();  // one too many: ignored
  EXPECT_EQ(standin::MAPIAdminProfiles(0, &admin), MAPI_E_NOT_INITIALIZED);
}

TEST(MapiStandinMemory, LinkedBlocksGoWithTheirParent) {
  void* parent = nullptr;
  ASSERT_EQ(standin::MAPIAllocateBuffer(32, &parent), S_OK);
  EXPECT_EQ(static_cast<unsigned char*>(parent)[31], 0);
  void* linked = nullptr;
  ASSERT_EQ(standin::MAPIAllocateMore(100, parent, &linked), S_OK);
  void* second = nullptr;
  ASSERT_EQ(standin::MAPIAllocateMore(0, parent, &second), S_OK);
  void* nested = &linked;
  EXPECT_EQ(standin::MAPIAllocateMore(8, linked, &nested), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(nested, nullptr);
  EXPECT_EQ(standin::MAPIAllocateMore(8, nullptr, &nested), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(standin::MAPIAllocateBuffer(8, nullptr), MAPI_E_INVALID_PARAMETER);
  standin::MAPIFreeBuffer(linked);  // ignored: freed with its parent
  standin::MAPIFreeBuffer(parent);
  standin::MAPIFreeBuffer(nullptr);
  standin::FreeProws(nullptr);
}

TEST_F(MapiStandin, FilesLiveInTheConfigFolderWithoutTheirVariables) {
  TemporaryFolder home;
  ScopedEnvironmentVariable store(L"KALINOR_MAPI_PROFILES", L"");
  ScopedEnvironmentVariable catalogue(L"KALINOR_MAPISVC", L"");
  ScopedEnvironmentVariable home_variable(L"HOME", WidePath(home.Path()));
  // Run from the home folder, so that a relative XDG_CONFIG_HOME, were it
  // taken, would show there (and stay inside the test's folder).
  struct InFolder {
    std::filesystem::path previous = std::filesystem::current_path();
    explicit InFolder(const std::filesystem::path& folder) {
      std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(previous); }
  } in_home(home.Path());
  const std::wstring absolute_xdg = WidePath(home.Path() / "xdg");
  for (const std::wstring& xdg_value : {std::wstring(), absolute_xdg, std::wstring(L"relative")}) {
    const bool with_xdg = xdg_value == absolute_xdg;
    const std::filesystem::path config = with_xdg ? home.Path() / "xdg" : home.Path() / ".config";
    ScopedEnvironmentVariable xdg(L"XDG_CONFIG_HOME", xdg_value);
    std::filesystem::create_directories(config / "kalinor");
    WriteFileBytes(config / "kalinor" / "mapisvc.inf", "[Services]\nListed=Listed Service\n");
    IMsgServiceAdmin* services = OpenServiceAdmin();
    ASSERT_NE(services, nullptr);
    EXPECT_EQ(services->CreateMsgService(Text8("Unlisted"), Text8("U"), 0, 0), MAPI_E_NOT_FOUND);
    EXPECT_EQ(services->CreateMsgService(Text8("Listed"), Text8("L"), 0, 0), S_OK);
    services->Release();
    const std::string written = ReadFileBytes(config / "kalinor" / "profiles.xml");
    EXPECT_NE(written.find("displayName=\"Listed Service\""), std::string::npos) << written;
    EXPECT_FALSE(std::filesystem::exists(home.Path() / "relative"))
        << "a relative value is ignored";
    std::filesystem::remove_all(config / "kalinor");
  }
}

}  // namespace
}  // namespace kalinor::mapi_standin
