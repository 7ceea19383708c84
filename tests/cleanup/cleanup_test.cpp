#include "cleanup/cleanup_execution.h"
#include "cleanup/uninstall_cleanup.h"

#include <algorithm>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/output_capture.h"
#include "platform/text.h"
#include "settings/settings_test_folders.h"
#include "support/failing_dom.h"
#include "support/special_files.h"
#include "support/temp_folder.h"
#include "xml/xml_document.h"

namespace kalinor {
namespace {

using ClearStoreSettingsTest = testing::SettingsFolders;
using ClearArchiveUrlTest = testing::SettingsFolders;

// The cleanup steps over the fixture's folders, resolved once already.
bool ClearStoreSettings(const DataFolders& folders) {
  return PlannedUninstallCleanup([&] { return folders; }).ClearStoreSettings();
}

bool ClearArchiveUrl(const DataFolders& folders) {
  return PlannedUninstallCleanup([&] { return folders; }).ClearArchiveUrl();
}

const wchar_t kNotWellFormed[] =
    L"not well-formed, or past a bound on its size, depth or attributes";

const std::vector<std::wstring> kBothMessages = {L"Clear store settings >>\n",
                                                 L"Clear store settings <<\n"};

std::string Store(const std::string& idAttribute, const std::wstring& database) {
  return "<Store" + idAttribute + "><dbFileName>" + platform::ToUtf8(database) +
         "</dbFileName></Store>";
}

std::string StoreFile(const std::string& children) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QEVConfiguration>\n" + children +
         "\n</QEVConfiguration>\n";
}

TEST_F(ClearStoreSettingsTest, DeletesEveryDatabaseAndEmptiesTheStoreList) {
  const std::wstring first = Join(DataFolder(), L"first.fdb");
  const std::wstring second = Join(PellucorFolder(), L"second.fdb");
  const std::wstring unrelated = Join(OtherFolder(), L"unrelated.fdb");
  WriteFile(first, "1");
  WriteFile(second, "2");
  WriteFile(unrelated, "keep");
  const std::wstring file = Join(DataFolder(), L"StoreSettings.xml");
  WriteFile(file, StoreFile(Store(" id=\"1-2\"", first) + "<!-- between -->" +
                            Store(" id=\"ab\"", second) +
                            Store(" id=\"x\"", Join(OtherFolder(), L"missing.fdb"))));

  platform::OutputCapture capture;
  EXPECT_TRUE(ClearStoreSettings(Folders()));
  EXPECT_EQ(capture.debug_output, kBothMessages);

  EXPECT_FALSE(Exists(first));
  EXPECT_FALSE(Exists(second));
  EXPECT_EQ(ReadFile(unrelated), "keep");
  XMLDocument saved;
  ASSERT_EQ(saved.Load(file), S_OK);
  EXPECT_FALSE(saved.NodeExists(L"QEVConfiguration/Store"));
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration"), 1);
  EXPECT_NE(ReadFile(file).find("<!-- between -->"), std::string::npos);
}

// Where the store list comes from, against where its databases lie: the
// plan, what the cleanup then does and the files it leaves agree, and only
// regular files (or links, as links) inside the data folder or the older
// data folder go, judged on real paths compared exactly. A takeover moves
// the older folder's own files in under a plain name, then deletes them.
enum class ListState { kInDataFolder, kTakeOver, kSeed, kUnreadable, kNone };

struct DatabaseCase {
  const char* what;
  std::wstring value;            // the dbFileName
  std::wstring path;             // where the file (or folder, or link) lies
  const wchar_t* deleteRefusal;  // nullptr: deleted
  const wchar_t* moveRefusal;    // in a takeover; nullptr: moved in, then deleted
};

class CleanupTable : public testing::SettingsFolders {
 protected:
  std::vector<DatabaseCase> Cases(bool& links) {
    const std::wstring data = DataFolder();
    const std::wstring older = PellucorFolder();
    const std::wstring tavrin = platform::ParentFolder(data);
    const bool windows = platform::kPathSeparator == L'\\';
    const wchar_t other = windows ? L'/' : L'\\';
    // A name that climbs out of the data folder with the other separator:
    // on Windows it names older\q\x.fdb, on POSIX a file of that odd name.
    const std::wstring climb =
        std::wstring(L"..") + other + L".." + other + L"q" + other + L"x.fdb";
    const std::wstring climbing = Join(Join(Join(older, L"a"), L"b"), climb);
    const wchar_t* outsideOlder = L"outside the older data folder";
    std::vector<DatabaseCase> cases = {
        {"inside", Join(data, L"in.fdb"), Join(data, L"in.fdb"), nullptr, outsideOlder},
        {"older folder", Join(older, L"old.fdb"), Join(older, L"old.fdb"), nullptr, nullptr},
        {"relative", L"rel.fdb", Join(data, L"rel.fdb"), nullptr, outsideOlder},
        {"dot-dot back in", Join(Join(Join(data, L"sub"), L".."), L"back.fdb"),
         Join(data, L"back.fdb"), nullptr, outsideOlder},
        {"outside", Join(OtherFolder(), L"victim.fdb"), Join(OtherFolder(), L"victim.fdb"),
         L"outside the data folders", outsideOlder},
        {"dot-dot out", Join(Join(data, L".."), L"y.fdb"), Join(tavrin, L"y.fdb"),
         L"outside the data folders", outsideOlder},
        {"climbing name", climbing, windows ? Join(Join(older, L"q"), L"x.fdb") : climbing, nullptr,
         L"not a plain file name in the data folder"},
        // Wine folds letter case like Windows, so there the sibling is the
        // data folder itself; on POSIX it is another folder.
        {"case sibling", Join(Join(tavrin, L"ostrand"), L"v1.fdb"),
         Join(Join(tavrin, L"ostrand"), L"v1.fdb"), windows ? nullptr : L"outside the data folders",
         outsideOlder},
        {"folder", Join(older, L"folder.fdb"), Join(older, L"folder.fdb"), L"a folder",
         L"a folder"},
        {"settings file", Join(older, L"GeneralSettings.xml"), Join(older, L"GeneralSettings.xml"),
         L"a settings file", L"a settings file"},
    };
    std::filesystem::create_directories(FsPath(Join(data, L"sub")));
    for (const DatabaseCase& c : cases) {
      if (std::string(c.what) == "folder")
        std::filesystem::create_directories(FsPath(c.path));
      else
        WriteFile(c.path, std::string(c.what) == "settings file" ? "<QEVConfiguration/>" : c.what);
    }
    // A link in the older folder to a file outside goes as a link; a linked
    // folder there that leads outside is refused.
    std::error_code noLinks;
    const std::wstring link = Join(older, L"link.fdb");
    const std::wstring linked = Join(older, L"linked");
    std::filesystem::create_symlink(FsPath(Join(OtherFolder(), L"victim.fdb")), FsPath(link),
                                    noLinks);
    if (!noLinks)
      std::filesystem::create_directory_symlink(FsPath(OtherFolder()), FsPath(linked), noLinks);
    links = !noLinks;
    if (links) {
      cases.push_back({"link", link, link, nullptr, L"a link"});
      cases.push_back({"linked folder", Join(linked, L"victim.fdb"), Join(linked, L"victim.fdb"),
                       L"outside the data folders", L"outside the older data folder"});
    }
    return cases;
  }

  void WriteList(ListState state, const std::vector<DatabaseCase>& cases) {
    std::string stores;
    for (const DatabaseCase& c : cases)
      stores += Store(" id=\"" + std::string(c.what) + "\"", c.value);
    const std::wstring folder = state == ListState::kTakeOver ? PellucorFolder()
                                : state == ListState::kSeed   ? InstallDataFolder()
                                                              : DataFolder();
    if (state == ListState::kUnreadable) stores += "<Store>";
    if (state != ListState::kNone) WriteFile(Join(folder, L"StoreSettings.xml"), StoreFile(stores));
  }

  std::set<std::wstring> FilesUnderRoot() const {
    std::set<std::wstring> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(FsPath(Root()))) {
      const std::u8string name = entry.path().u8string();
      files.insert(platform::FromUtf8(std::string(name.begin(), name.end())));
    }
    return files;
  }
};

TEST_F(CleanupTable, PlanActAndFilesLeftAgree) {
  for (const ListState state : {ListState::kInDataFolder, ListState::kTakeOver, ListState::kSeed,
                                ListState::kUnreadable, ListState::kNone}) {
    SCOPED_TRACE(static_cast<int>(state));
    TearDown();
    for (const auto& entry : std::filesystem::directory_iterator(FsPath(Root())))
      std::filesystem::remove_all(entry.path());
    SetUp();
    bool links = false;
    const std::vector<DatabaseCase> cases = Cases(links);
    WriteList(state, cases);
    const bool cleared = state != ListState::kUnreadable && state != ListState::kNone;
    const bool takeover = state == ListState::kTakeOver;

    CleanupPlan plan = PlanCleanup(Folders());
    for (std::size_t store = 0; store < cases.size(); ++store) {
      const DatabaseCase& c = cases[store];
      SCOPED_TRACE(c.what);
      std::vector<FileAction> expected;
      const wchar_t* moveRefusal = takeover ? c.moveRefusal : L"";
      if (cleared && moveRefusal == nullptr)
        expected = {FileAction::kMoveDatabase, FileAction::kDeleteDatabase};
      else if (cleared) {
        if (moveRefusal[0] != L'\0') expected.push_back(FileAction::kRefuseMove);
        expected.push_back(c.deleteRefusal ? FileAction::kRefuseDelete
                                           : FileAction::kDeleteDatabase);
      }
      std::vector<FileAction> planned;
      for (const FileOperation& op : plan.Operations) {
        if (op.Store != store) continue;
        planned.push_back(op.Action);
        if (op.Action == FileAction::kMoveDatabase) {
          const std::wstring name = platform::LastPathPart(c.path);
          EXPECT_EQ(op.Destination, Join(DataFolder(), name));
        }
      }
      EXPECT_EQ(planned, expected);
    }
    // Each refusal, and a list left unread, is one debugger line, in the plan's order.
    std::vector<std::wstring> refusalLines;
    if (state == ListState::kUnreadable)
      refusalLines.push_back(L"Settings file left as it is (" + std::wstring(kNotWellFormed) +
                             L"): " + Join(DataFolder(), L"StoreSettings.xml") + L"\n");
    for (const FileOperation& op : plan.Operations) {
      if (op.Action != FileAction::kRefuseMove && op.Action != FileAction::kRefuseDelete) continue;
      const wchar_t* what = op.Action == FileAction::kRefuseMove ? L"moved" : L"deleted";
      refusalLines.push_back(L"Database file not " + std::wstring(what) + L" (" + op.Reason +
                             L"): " + op.Path + L"\n");
    }

    const std::set<std::wstring> before = FilesUnderRoot();
    platform::OutputCapture capture;
    const bool done = CarryOut(plan, CleanupStep::kClearStoreSettings);
    EXPECT_EQ(capture.debug_output, refusalLines);
    EXPECT_EQ(done, state == ListState::kNone);

    // Every file that went was one the plan named, and nothing new appeared
    // but the data folder's store list.
    const std::filesystem::path list = FsPath(Join(DataFolder(), L"StoreSettings.xml"));
    for (const std::wstring& file : FilesUnderRoot())
      EXPECT_TRUE(before.count(file) != 0 || std::filesystem::equivalent(FsPath(file), list))
          << platform::ToUtf8(file);
    for (const DatabaseCase& c : cases) {
      const bool goes = cleared && c.deleteRefusal == nullptr;
      EXPECT_EQ(Exists(c.path), !goes) << c.what;
    }
    EXPECT_EQ(ReadFile(Join(OtherFolder(), L"victim.fdb")), "outside");
    if (cleared) {
      XMLDocument saved;
      ASSERT_EQ(saved.Load(Join(DataFolder(), L"StoreSettings.xml")), S_OK);
      EXPECT_FALSE(saved.NodeExists(L"QEVConfiguration/Store"));
    }
    EXPECT_FALSE(Exists(Join(PellucorFolder(), L"StoreSettings.xml")));
  }
}

// An adversary who owns the data folder changes it between the gate's
// verdict and the act (the seam the executor offers): the act then refuses,
// or acts on the very object that was judged, and nothing outside the data
// folders is touched. A database that cannot be deleted keeps its store, so
// that the next run deletes it.
struct AdversaryStep {
  const char* what;
  FileAction strikeBefore;  // the first operation of this kind
  bool takeover;            // the list stands in the older folder
  bool needsLinks;
  // The step itself, over the data folder, the older folder and the outside one.
  void (*strike)(const std::wstring& data, const std::wstring& older, const std::wstring& other);
  bool storesKept;  // the saved list still names the databases
};

void SwapForLink(const std::wstring& folder, const std::wstring& target) {
  namespace fs = std::filesystem;
  fs::rename(testing::SettingsFolders::FsPath(folder),
             testing::SettingsFolders::FsPath(folder + L".moved"));
  fs::create_directory_symlink(testing::SettingsFolders::FsPath(target),
                               testing::SettingsFolders::FsPath(folder));
}

void ReplaceByLink(const std::wstring& file, const std::wstring& target) {
  std::filesystem::remove(testing::SettingsFolders::FsPath(file));
  std::filesystem::create_symlink(testing::SettingsFolders::FsPath(target),
                                  testing::SettingsFolders::FsPath(file));
}

std::wstring In(const std::wstring& folder, const wchar_t* name) {
  return testing::SettingsFolders::Join(folder, name);
}

const AdversaryStep kAdversarySteps[] = {
    {"stores folder swapped for a link", FileAction::kDeleteDatabase, false, true,
     [](const std::wstring& data, const std::wstring&, const std::wstring& other) {
       SwapForLink(In(data, L"Stores"), other);
     },
     true},
    {"database swapped for a link", FileAction::kDeleteDatabase, false, true,
     [](const std::wstring& data, const std::wstring&, const std::wstring& other) {
       ReplaceByLink(In(In(data, L"Stores"), L"a.fdb"), In(other, L"a.fdb"));
     },
     false},
    {"database swapped for a folder", FileAction::kDeleteDatabase, false, false,
     [](const std::wstring& data, const std::wstring&, const std::wstring&) {
       const std::wstring database = In(In(data, L"Stores"), L"a.fdb");
       std::filesystem::remove(testing::SettingsFolders::FsPath(database));
       std::filesystem::create_directory(testing::SettingsFolders::FsPath(database));
     },
     true},
    {"data folder swapped for a link before the save", FileAction::kSaveClearedList, false, true,
     [](const std::wstring& data, const std::wstring&, const std::wstring& other) {
       SwapForLink(data, other);
     },
     false},
    {"older folder swapped for a link before the move", FileAction::kMoveDatabase, true, true,
     [](const std::wstring&, const std::wstring& older, const std::wstring& other) {
       SwapForLink(older, other);
     },
     false},
    {"older list swapped for a link before the copy", FileAction::kTakeOver, true, true,
     [](const std::wstring&, const std::wstring& older, const std::wstring& other) {
       ReplaceByLink(In(older, L"StoreSettings.xml"), In(other, L"StoreSettings.xml"));
     },
     true},
    {"older list swapped for a link before its removal", FileAction::kRemoveOlderList, true, true,
     [](const std::wstring&, const std::wstring& older, const std::wstring& other) {
       ReplaceByLink(In(older, L"StoreSettings.xml"), In(other, L"StoreSettings.xml"));
     },
     false},
};

TEST_F(ClearStoreSettingsTest, AdversaryStepsBetweenVerdictAndActTouchNothingOutside) {
  for (const AdversaryStep& step : kAdversarySteps) {
    SCOPED_TRACE(step.what);
    TearDown();
    for (const auto& entry : std::filesystem::directory_iterator(FsPath(Root())))
      std::filesystem::remove_all(entry.path());
    SetUp();
    // The outside folder holds files of the same names, which must stay.
    const std::wstring listFolder = step.takeover ? PellucorFolder() : DataFolder();
    const std::wstring stores = Join(listFolder, L"Stores");
    const std::string victimList = StoreFile("<Secret/>");
    for (const wchar_t* name : {L"a.fdb", L"b.fdb"}) {
      WriteFile(Join(stores, name), "db");
      WriteFile(Join(OtherFolder(), name), "outside");
    }
    WriteFile(Join(OtherFolder(), L"StoreSettings.xml"), victimList);
    const std::wstring list = Join(listFolder, L"StoreSettings.xml");
    WriteFile(list, StoreFile(Store(" id=\"a\"", Join(stores, L"a.fdb")) +
                              Store(" id=\"b\"", Join(stores, L"b.fdb"))));
    std::error_code noLinks;
    std::filesystem::create_symlink(FsPath(list), FsPath(Join(Root(), L"probe")), noLinks);
    if (step.needsLinks && noLinks) continue;  // no links on this file system

    CleanupPlan plan = PlanCleanup(Folders());
    bool struck = false;
    platform::OutputCapture capture;
    const bool done =
        CarryOut(plan, CleanupStep::kClearStoreSettings, [&](const FileOperation& op) {
          if (struck || op.Action != step.strikeBefore) return;
          struck = true;
          step.strike(DataFolder(), PellucorFolder(), OtherFolder());
        });
    ASSERT_TRUE(struck);

    for (const wchar_t* name : {L"a.fdb", L"b.fdb"})
      EXPECT_EQ(ReadFile(Join(OtherFolder(), name)), "outside");
    EXPECT_EQ(ReadFile(Join(OtherFolder(), L"StoreSettings.xml")), victimList);
    for (const auto& entry : std::filesystem::directory_iterator(FsPath(OtherFolder())))
      EXPECT_TRUE(entry.path().filename() == "a.fdb" || entry.path().filename() == "b.fdb" ||
                  entry.path().filename() == "StoreSettings.xml")
          << entry.path();
    if (!step.storesKept) continue;
    // What could not be done is said, and the list keeps its stores for the next run.
    EXPECT_FALSE(done);
    EXPECT_GT(capture.debug_output.size(), 0u);
    if (step.strikeBefore == FileAction::kDeleteDatabase) {
      XMLDocument saved;
      ASSERT_EQ(saved.Load(Join(DataFolder(), L"StoreSettings.xml")), S_OK);
      EXPECT_TRUE(saved.NodeExists(L"QEVConfiguration/Store[@id=\"a\"]"));
    }
  }
}

TEST_F(ClearStoreSettingsTest, NoFileAnywhereCreatesNothingAndStillWritesBothMessages) {
  platform::OutputCapture capture;
  EXPECT_TRUE(ClearStoreSettings(Folders()));
  EXPECT_EQ(capture.debug_output, kBothMessages);
  EXPECT_FALSE(Exists(Join(DataFolder(), L"StoreSettings.xml")));
  EXPECT_FALSE(Exists(Join(PellucorFolder(), L"StoreSettings.xml")));
}

// A list that cannot be loaded is left, and the line says why in the words
// of its cause: malformed, a folder, a pipe.
TEST_F(ClearStoreSettingsTest, FileThatCannotBeLoadedIsLeftAloneAndItsCauseNamed) {
  const std::wstring database = Join(DataFolder(), L"a.fdb");
  const std::wstring file = Join(DataFolder(), L"StoreSettings.xml");
  const std::string malformed = "<QEVConfiguration>" + Store(" id=\"1-2\"", database) + "<Store>";
  const struct {
    const char* What;
    std::function<bool()> Make;
    std::wstring Reason;  // what the line's parentheses begin with
  } cases[] = {
      {"malformed", [&] { return WriteFile(file, malformed), true; }, kNotWellFormed},
      {"a folder", [&] { return std::filesystem::create_directory(testing::FileSystemPath(file)); },
       L"a folder, not a file: "},
      {"a pipe", [&] { return testing::MakeFifo(testing::FileSystemPath(file)); },
       L"not a regular file (a pipe, a device or a socket): "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    std::filesystem::remove_all(testing::FileSystemPath(file));
    WriteFile(database, "a");
    if (!c.Make()) continue;  // no pipes here
    platform::OutputCapture capture;
    EXPECT_FALSE(ClearStoreSettings(Folders()));
    ASSERT_EQ(capture.debug_output.size(), 3u);
    EXPECT_EQ(capture.debug_output[1].rfind(L"Settings file left as it is (" + c.Reason, 0), 0u)
        << platform::ToUtf8(capture.debug_output[1]);
    EXPECT_EQ(ReadFile(database), "a");
  }
}

// A store that its own id cannot remove is passed over; the stores after it
// are still cleared.
TEST_F(ClearStoreSettingsTest, StoresThatCannotBeRemovedAreSkippedAndTheRestCleared) {
  std::vector<std::wstring> databases;
  for (const wchar_t* name : {L"a.fdb", L"noid.fdb", L"quote.fdb", L"zero.fdb", L"e.fdb"}) {
    databases.push_back(Join(DataFolder(), name));
    WriteFile(databases.back(), "db");
  }
  const std::wstring file = Join(DataFolder(), L"StoreSettings.xml");
  // The store without an id must not take the all-zero store with it, whose
  // database would then be left behind.
  WriteFile(file, StoreFile(Store(" id=\"A1\"", databases[0]) + Store("", databases[1]) +
                            Store(" id=\"x&quot;y\"", databases[2]) +
                            Store(" id=\"0000000000000000\"", databases[3]) +
                            Store(" id=\"E5\"", databases[4])));

  platform::OutputCapture capture;
  EXPECT_TRUE(ClearStoreSettings(Folders()));
  EXPECT_EQ(capture.debug_output, kBothMessages);

  for (const std::wstring& database : databases) EXPECT_FALSE(Exists(database)) << database.c_str();
  XMLDocument saved;
  ASSERT_EQ(saved.Load(file), S_OK);
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration"), 2);
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/Store[0]/dbFileName"), databases[1]);
  EXPECT_EQ(saved.GetNodeAttribute(L"QEVConfiguration/Store[1]", L"id"), L"x\"y");
}

TEST_F(ClearArchiveUrlTest, EmptiesOnlyTheArchiveAddress) {
  const std::wstring file = Join(DataFolder(), L"GeneralSettings.xml");
  WriteFile(file,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QEVConfiguration><General>"
            "<LogFolder>C:\\Users\\J\xC3\xB6rg\\\xE6\x97\xA5\xE5\xBF\x97</LogFolder>"
            "<PellucorURL>https://archive.example/\xC3\xA9</PellucorURL>"
            "<OfflineMaxDays>30</OfflineMaxDays></General></QEVConfiguration>\n");

  EXPECT_TRUE(ClearArchiveUrl(Folders()));

  XMLDocument saved;
  ASSERT_EQ(saved.Load(file), S_OK);
  EXPECT_TRUE(saved.NodeExists(L"QEVConfiguration/General/PellucorURL"));
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/PellucorURL"), L"");
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/LogFolder"),
            L"C:\\Users\\J\u00f6rg\\\u65e5\u5fd7");
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/OfflineMaxDays"), L"30");
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration/General"), 3);
}

// Waits out the one-second pause before the second load.
TEST_F(ClearArchiveUrlTest, NoFileAnywhereIsCreatedWithTheEmptyAddress) {
  const std::wstring file = Join(DataFolder(), L"GeneralSettings.xml");
  EXPECT_TRUE(ClearArchiveUrl(Folders()));

  XMLDocument saved;
  ASSERT_EQ(saved.Load(file), S_OK);
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration"), 1);
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration/General"), 1);
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/PellucorURL"), L"");
}

// Waits out the one-second pause before the second load, twice.
TEST_F(ClearArchiveUrlTest, AnUnreadableFileIsLeftUnlessTheRunsSecondReadFindsItWhole) {
  const std::wstring file = Join(DataFolder(), L"GeneralSettings.xml");
  const std::string malformed = "<QEVConfiguration><General><PellucorURL>x</General>";
  WriteFile(file, malformed);
  EXPECT_FALSE(ClearArchiveUrl(Folders()));
  EXPECT_EQ(ReadFile(file), malformed);

  // Planned while the connector still writes it: the plan leaves it, and the
  // run's second read finds it whole and clears the address.
  CleanupPlan plan = PlanCleanup(Folders());
  ASSERT_FALSE(plan.Operations.empty());
  EXPECT_EQ(plan.Operations.back().Action, FileAction::kLeave);
  WriteFile(file,
            "<QEVConfiguration><General><PellucorURL>x</PellucorURL></General>"
            "</QEVConfiguration>");
  ReadArchiveSettingsAgain(plan);
  EXPECT_TRUE(CarryOut(plan, CleanupStep::kClearArchiveUrl));
  XMLDocument saved;
  ASSERT_EQ(saved.Load(file), S_OK);
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/PellucorURL"), L"");
}

// A DOM that fails to read (msxml3 under Wine fails nextSibling on a
// DOCTYPE) must not read as a list without stores or a file without the
// address: each primitive the cleanup reads through fails in turn, and the
// step that used it is undone, names the failure and leaves its settings
// file as it was (and the databases too, when the plan's walk met it).
class FailingDomPrimitive : public testing::SettingsFolders {
 protected:
  void TearDown() override {
    for (int p = 0; p <= static_cast<int>(testing::DomPrimitive::ChildNodeCount); ++p)
      testing::FailDomPrimitive(static_cast<testing::DomPrimitive>(p), S_OK);
    SettingsFolders::TearDown();
  }
};

TEST_F(FailingDomPrimitive, UndoesTheCleanupStepAndNamesTheFailure) {
  using testing::DomPrimitive;
  constexpr HRESULT kNotImplemented = static_cast<HRESULT>(0x80004001);
  const struct {
    DomPrimitive primitive;
    bool readWhilePlanning;    // whether the walk for the databases reads through it
    bool generalSettingsRead;  // whether setting the address reads through it
  } cases[] = {
      {DomPrimitive::DocumentNode, true, true},  {DomPrimitive::NodeKind, true, true},
      {DomPrimitive::NodeNameIs, true, true},    {DomPrimitive::FirstChild, true, true},
      {DomPrimitive::NextSibling, true, true},   {DomPrimitive::IsElement, true, true},
      {DomPrimitive::ParentNode, false, false},  {DomPrimitive::GetText, true, false},
      {DomPrimitive::GetAttribute, true, false}, {DomPrimitive::ChildNodeCount, false, false},
  };
  std::vector<std::wstring> databases;
  std::string stores;
  for (const wchar_t* name : {L"a.fdb", L"b.fdb", L"c.fdb"}) {
    databases.push_back(Join(DataFolder(), name));
    stores += Store(" id=\"" + platform::ToUtf8(name) + "\"", databases.back());
  }
  const std::wstring storeFile = Join(DataFolder(), L"StoreSettings.xml");
  const std::wstring generalFile = Join(DataFolder(), L"GeneralSettings.xml");
  const std::string general =
      "<QEVConfiguration><General><Other>o</Other><PellucorURL>u</PellucorURL></General>"
      "</QEVConfiguration>";
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.primitive));
    for (const std::wstring& database : databases) WriteFile(database, "db");
    WriteFile(storeFile, StoreFile(stores));
    WriteFile(generalFile, general);
    const std::wstring failure = L": 0X80004001\n";

    testing::FailDomPrimitive(c.primitive, kNotImplemented);
    platform::OutputCapture capture;
    EXPECT_FALSE(ClearStoreSettings(Folders()));
    EXPECT_EQ(ClearArchiveUrl(Folders()), !c.generalSettingsRead);
    testing::FailDomPrimitive(c.primitive, S_OK);

    std::vector<std::wstring> expected = {
        kBothMessages[0], L"Error reading settings file " + storeFile + failure, kBothMessages[1]};
    if (c.generalSettingsRead)
      expected.push_back(L"Error reading settings file " + generalFile + failure);
    EXPECT_EQ(capture.debug_output, expected);
    for (const std::wstring& database : databases) EXPECT_EQ(Exists(database), c.readWhilePlanning);
    EXPECT_EQ(ReadFile(storeFile), StoreFile(stores));
    if (c.generalSettingsRead) {
      EXPECT_EQ(ReadFile(generalFile), general);
    }
  }
}

}  // namespace
}  // namespace kalinor
