#include "settings/settings_cleanup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/output_capture.h"
#include "platform/text.h"
#include "settings_test_folders.h"
#include "xml/xml_document.h"

namespace kalinor {
namespace {

using ClearStoreSettingsTest = testing::SettingsFolders;
using ClearArchiveUrlTest = testing::SettingsFolders;

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
  const std::wstring second = Join(OtherFolder(), L"second.fdb");
  const std::wstring unrelated = Join(OtherFolder(), L"unrelated.fdb");
  WriteFile(first, "1");
  WriteFile(second, "2");
  WriteFile(unrelated, "keep");
  const std::wstring file = Join(DataFolder(), L"StoreSettings.xml");
  WriteFile(file, StoreFile(Store(" id=\"1-2\"", first) + "<!-- between -->" +
                            Store(" id=\"ab\"", second) +
                            Store(" id=\"x\"", Join(OtherFolder(), L"missing.fdb"))));

  platform::OutputCapture capture;
  EXPECT_TRUE(ClearStoreSettings());
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

TEST_F(ClearStoreSettingsTest, NoFileAnywhereCreatesNothingAndStillWritesBothMessages) {
  platform::OutputCapture capture;
  EXPECT_TRUE(ClearStoreSettings());
  EXPECT_EQ(capture.debug_output, kBothMessages);
  EXPECT_FALSE(Exists(Join(DataFolder(), L"StoreSettings.xml")));
  EXPECT_FALSE(Exists(Join(PellucorFolder(), L"StoreSettings.xml")));
}

TEST_F(ClearStoreSettingsTest, FileThatCannotBeLoadedIsLeftAlone) {
  const std::wstring database = Join(OtherFolder(), L"a.fdb");
  WriteFile(database, "a");
  const std::string malformed = "<QEVConfiguration>" + Store(" id=\"1-2\"", database) + "<Store>";
  const std::wstring file = Join(DataFolder(), L"StoreSettings.xml");
  WriteFile(file, malformed);

  platform::OutputCapture capture;
  EXPECT_FALSE(ClearStoreSettings());
  EXPECT_EQ(capture.debug_output, kBothMessages);
  EXPECT_EQ(ReadFile(file), malformed);
  EXPECT_EQ(ReadFile(database), "a");
}

// A store that its own id cannot remove is passed over; the stores after it
// are still cleared.
TEST_F(ClearStoreSettingsTest, StoresThatCannotBeRemovedAreSkippedAndTheRestCleared) {
  std::vector<std::wstring> databases;
  for (const wchar_t* name : {L"a.fdb", L"noid.fdb", L"quote.fdb", L"zero.fdb", L"e.fdb"}) {
    databases.push_back(Join(OtherFolder(), name));
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
  EXPECT_FALSE(ClearStoreSettings());
  EXPECT_EQ(capture.debug_output, kBothMessages);

  for (const std::wstring& database : databases) EXPECT_FALSE(Exists(database)) << database.c_str();
  XMLDocument saved;
  ASSERT_EQ(saved.Load(file), S_OK);
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration"), 2);
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/Store[0]/dbFileName"), databases[1]);
  EXPECT_EQ(saved.GetNodeAttribute(L"QEVConfiguration/Store[1]", L"id"), L"x\"y");
}

TEST_F(ClearStoreSettingsTest, TakenOverStoresAreMovedThenCleared) {
  const std::wstring database = Join(OtherFolder(), L"old.fdb");
  WriteFile(database, "old");
  WriteFile(Join(PellucorFolder(), L"StoreSettings.xml"),
            StoreFile(Store(" id=\"1-1\"", database)));

  EXPECT_TRUE(ClearStoreSettings());
  EXPECT_FALSE(Exists(database));
  EXPECT_FALSE(Exists(Join(DataFolder(), L"old.fdb")));
  EXPECT_FALSE(Exists(Join(PellucorFolder(), L"StoreSettings.xml")));
  XMLDocument saved;
  ASSERT_EQ(saved.Load(Join(DataFolder(), L"StoreSettings.xml")), S_OK);
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration"), 0);
}

TEST_F(ClearArchiveUrlTest, EmptiesOnlyTheArchiveAddress) {
  const std::wstring file = Join(DataFolder(), L"GeneralSettings.xml");
  WriteFile(file,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QEVConfiguration><General>"
            "<LogFolder>C:\\Users\\J\xC3\xB6rg\\\xE6\x97\xA5\xE5\xBF\x97</LogFolder>"
            "<PellucorURL>https://archive.example/\xC3\xA9</PellucorURL>"
            "<OfflineMaxDays>30</OfflineMaxDays></General></QEVConfiguration>\n");

  EXPECT_TRUE(ClearArchiveUrl());

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
  EXPECT_TRUE(ClearArchiveUrl());

  XMLDocument saved;
  ASSERT_EQ(saved.Load(file), S_OK);
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration"), 1);
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration/General"), 1);
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/PellucorURL"), L"");
}

}  // namespace
}  // namespace kalinor
