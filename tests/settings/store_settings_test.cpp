#include "settings/store_settings.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/text.h"
#include "platform/files.h"
#include "platform/output_capture.h"
#include "settings/store_id.h"
#include "settings/settings_test_folders.h"
#include "xml/xml_document.h"

namespace kalinor {
namespace {

using StoreSettingsTest = testing::SettingsFolders;

// A <Store> element; an empty id leaves the attribute out, an empty database
// path the dbFileName element.
std::string Store(const std::string& id, const std::wstring& database) {
  std::string store = id.empty() ? "<Store>" : "<Store id=\"" + id + "\">";
  if (!database.empty()) store += "<dbFileName>" + platform::ToUtf8(database) + "</dbFileName>";
  return store + "</Store>";
}

std::string StoreFile(const std::string& children) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QEVConfiguration>" + children +
         "</QEVConfiguration>\n";
}

std::wstring StoreFilePath(const std::wstring& folder) {
  return folder + platform::kPathSeparator + L"StoreSettings.xml";
}

TEST_F(StoreSettingsTest, FileInTheDataFolderIsLoadedAndNothingElseIsTouched) {
  const std::wstring database = Join(OtherFolder(), L"a.fdb");
  const std::string content = StoreFile(Store("1-2", database));
  const std::string older = StoreFile(Store("3-4", Join(OtherFolder(), L"b.fdb")));
  WriteFile(database, "db");
  WriteFile(StoreFilePath(DataFolder()), content);
  WriteFile(StoreFilePath(PellucorFolder()), older);
  WriteFile(StoreFilePath(InstallDataFolder()), older);

  StoreSettings settings(StoreFilePath(DataFolder()));
  EXPECT_EQ(settings.IsLoaded, 1);
  EXPECT_EQ(settings.FilePath, StoreFilePath(DataFolder()));
  EXPECT_TRUE(settings.CurrentStorePath.empty());
  ASSERT_TRUE(settings.SelectStore(0));
  EXPECT_EQ(settings.GetValue(L"dbFileName"), database);
  EXPECT_EQ(ReadFile(database), "db");
  EXPECT_EQ(ReadFile(StoreFilePath(DataFolder())), content);
  EXPECT_EQ(ReadFile(StoreFilePath(PellucorFolder())), older);
  EXPECT_FALSE(Exists(Join(DataFolder(), L"a.fdb")));
}

TEST_F(StoreSettingsTest, NotLoadedRefusesEveryOperationAndCreatesNoFile) {
  StoreSettings settings(StoreFilePath(DataFolder()));
  EXPECT_EQ(settings.IsLoaded, 0);
  EXPECT_EQ(settings.StoreCount(), -1);
  EXPECT_FALSE(settings.SelectStore(0));
  EXPECT_EQ(settings.GetValue(L"dbFileName"), L"");
  EXPECT_EQ(settings.GetAttribute(L"id"), L"");
  EXPECT_EQ(settings.SetValue(L"dbFileName", L"x"), E_FAIL);
  EXPECT_FALSE(settings.RemoveStore(L"1-2"));
  EXPECT_EQ(settings.Save(), E_FAIL);
  EXPECT_FALSE(Exists(settings.FilePath));
}

TEST_F(StoreSettingsTest, CountsEveryChildAndSelectsStoresByPosition) {
  WriteFile(StoreFilePath(DataFolder()), StoreFile(Store("A", L"a.fdb") + Store("B", L"b.fdb") +
                                                   "<!-- between -->" + Store("C", L"")));
  StoreSettings settings(StoreFilePath(DataFolder()));
  EXPECT_EQ(settings.StoreCount(), 4);
  const wchar_t* ids[] = {L"A", L"B", L"C"};
  for (int index = 0; index < 3; ++index) {
    ASSERT_TRUE(settings.SelectStore(index)) << index;
    EXPECT_EQ(settings.GetAttribute(L"id"), ids[index]);
  }
  EXPECT_EQ(settings.GetValue(L"dbFileName"), L"");
  EXPECT_EQ(settings.GetAttribute(L"missing"), L"");
  EXPECT_FALSE(settings.SelectStore(3));
  EXPECT_EQ(settings.CurrentStorePath, L"QEVConfiguration/Store[2]");
  ASSERT_TRUE(settings.SelectStore(1));
  EXPECT_EQ(settings.GetValue(L"dbFileName"), L"b.fdb");

  // SetValue creates the element on the current store; Save writes it.
  EXPECT_EQ(settings.SetValue(L"dbFileName", L"changed.fdb"), S_OK);
  ASSERT_TRUE(settings.SelectStore(2));
  EXPECT_EQ(settings.SetValue(L"dbFileName", L"c.fdb"), S_OK);
  ASSERT_EQ(settings.Save(), S_OK);
  XMLDocument saved;
  ASSERT_EQ(saved.Load(settings.FilePath), S_OK);
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/Store[@id=\"B\"]/dbFileName"), L"changed.fdb");
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/Store[@id=\"C\"]/dbFileName"), L"c.fdb");
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration"), 4);
}

// The walks count the stores among other child nodes, wherever these lie
// and however many: every store is visited once, in order, and the marked
// ones leave while the rest keep their order.
TEST_F(StoreSettingsTest, WalksVisitEveryStoreOnceAmongOtherChildren) {
  const char* other = "<!-- c --><Other/>";
  for (int stores = 0; stores <= 9; ++stores) {
    for (int others = 0; others <= 7; ++others) {
      std::string children;
      std::vector<std::wstring> ids;
      for (int i = 0; i < stores; ++i) {
        if (i % 3 == 0 && others > 0) children += other;
        ids.push_back(std::to_wstring(i));
        children += Store(std::to_string(i), L"");
      }
      for (int i = 0; i < others; ++i) children += other;
      WriteFile(StoreFilePath(DataFolder()), StoreFile(children));
      StoreSettings settings(StoreFilePath(DataFolder()));
      std::vector<std::wstring> visited;
      settings.VisitStores([&] {
        visited.push_back(settings.GetAttribute(L"id"));
        return false;
      });
      EXPECT_EQ(visited, ids) << stores << " stores, " << others << " others";
      std::vector<bool> marked;
      std::vector<std::wstring> kept;
      for (int i = 0; i < stores; ++i) {
        marked.push_back(i % 2 == 1);
        if (i % 2 == 0) kept.push_back(ids[i]);
      }
      EXPECT_EQ(settings.RemoveStoresAt(marked), stores / 2);
      visited.clear();
      settings.VisitStores([&] {
        visited.push_back(settings.GetAttribute(L"id"));
        return false;
      });
      EXPECT_EQ(visited, kept) << stores << " stores, " << others << " others";
    }
  }
}

TEST_F(StoreSettingsTest, EmptyRootAndForeignRoot) {
  WriteFile(StoreFilePath(DataFolder()), StoreFile(""));
  {
    StoreSettings settings(StoreFilePath(DataFolder()));
    EXPECT_EQ(settings.StoreCount(), 0);
    EXPECT_FALSE(settings.SelectStore(0));
  }
  WriteFile(StoreFilePath(DataFolder()), "<Other><Store id=\"1\"/></Other>");
  StoreSettings settings(StoreFilePath(DataFolder()));
  EXPECT_EQ(settings.IsLoaded, 1);
  EXPECT_EQ(settings.StoreCount(), -1);
  EXPECT_FALSE(settings.SelectStore(0));
}

TEST(StoreIdTest, ByteFormOfThePairForm) {
  EXPECT_EQ(FormatStoreIdBytes(StoreIdBytesFromPairForm(L"1-2")), L"2000000010000000");
  EXPECT_EQ(FormatStoreIdBytes(StoreIdBytesFromPairForm(L"0-0")), L"0000000000000000");
  EXPECT_EQ(FormatStoreIdBytes(StoreIdBytesFromPairForm(L"1122334455667788-99AABBCCDDEEFF00")),
            L"0ffeeddccbbaa998877665544332211");
  EXPECT_EQ(FormatStoreIdBytes(StoreIdBytesFromPairForm(L"FFFFFFFFFFFFFFFF-FFFFFFFFFFFFFFFF")),
            std::wstring(32, L'f'));
  // Lower-case digits read too; reading stops at the first character that
  // does not fit, keeping what was read.
  EXPECT_EQ(FormatStoreIdBytes(StoreIdBytesFromPairForm(L"ab-cd")), L"cd0000000ab0000000");
  EXPECT_EQ(FormatStoreIdBytes(StoreIdBytesFromPairForm(L"12")),
            L"0000000012"
            L"0000000");
  EXPECT_EQ(FormatStoreIdBytes(StoreIdBytesFromPairForm(L"12-zz")),
            L"0000000012"
            L"0000000");
  EXPECT_EQ(FormatStoreIdBytes(StoreIdBytesFromPairForm(L"5g-3")), L"0000000050000000");
  EXPECT_EQ(FormatStoreIdBytes(StoreIdBytesFromPairForm(L"not an id")), L"0000000000000000");
  EXPECT_EQ(FormatStoreIdBytes(StoreIdBytesFromPairForm(L"")), L"0000000000000000");
}

TEST_F(StoreSettingsTest, RemoveStoreByIdThenByByteFormFirstMatchOnly) {
  WriteFile(StoreFilePath(DataFolder()),
            StoreFile(Store("2000000010000000", L"bytes.fdb") + Store("dup", L"first.fdb") +
                      Store("dup", L"second.fdb") + Store("1-2", L"pair.fdb")));
  StoreSettings settings(StoreFilePath(DataFolder()));
  ASSERT_TRUE(settings.SelectStore(0));

  // The pair form 1-2 is stored as such: that store goes, not its byte form.
  EXPECT_TRUE(settings.RemoveStore(L"1-2"));
  EXPECT_EQ(settings.StoreCount(), 3);
  EXPECT_FALSE(settings.Document.NodeExists(L"QEVConfiguration/Store[@id=\"1-2\"]"));
  // Now only the byte form matches.
  EXPECT_TRUE(settings.RemoveStore(L"1-2"));
  EXPECT_FALSE(settings.Document.NodeExists(L"QEVConfiguration/Store[@id=\"2000000010000000\"]"));
  EXPECT_FALSE(settings.RemoveStore(L"1-2"));
  EXPECT_FALSE(settings.RemoveStore(L"7-7"));
  EXPECT_EQ(settings.StoreCount(), 2);

  // Of two stores with one id the first goes; the path selected before now
  // addresses the store that moved up.
  EXPECT_TRUE(settings.RemoveStore(L"dup"));
  EXPECT_EQ(settings.CurrentStorePath, L"QEVConfiguration/Store[0]");
  EXPECT_EQ(settings.GetValue(L"dbFileName"), L"second.fdb");
  ASSERT_TRUE(settings.SelectStore(0));
  EXPECT_EQ(settings.GetValue(L"dbFileName"), L"second.fdb");
  EXPECT_EQ(settings.StoreCount(), 1);
}

}  // namespace
}  // namespace kalinor
