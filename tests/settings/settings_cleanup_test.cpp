#include "settings/settings_cleanup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/files.h"
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

// Only regular files (or links, as links) inside the data folder or the
// older data folder are deleted, judged on real paths; a relative value is
// taken from the data folder. A refused file stays and is named once; its
// store goes all the same.
TEST_F(ClearStoreSettingsTest, DeletesOnlyFilesInsideTheDataFolders) {
  const std::wstring data = DataFolder();
  const std::wstring tavrin = data.substr(0, data.rfind(platform::kPathSeparator));
  const std::wstring outside = Join(OtherFolder(), L"victim.fdb");
  struct Case {
    const char* what;
    std::wstring value;      // the dbFileName
    std::wstring path;       // where the file lies
    const wchar_t* refusal;  // nullptr: deleted
  };
  const std::vector<Case> cases = {
      {"inside", Join(data, L"in.fdb"), Join(data, L"in.fdb"), nullptr},
      {"in a subfolder", Join(Join(data, L"sub"), L"deep.fdb"),
       Join(Join(data, L"sub"), L"deep.fdb"), nullptr},
      {"older folder", Join(PellucorFolder(), L"old.fdb"), Join(PellucorFolder(), L"old.fdb"),
       nullptr},
      {"relative", L"rel.fdb", Join(data, L"rel.fdb"), nullptr},
      {"dot-dot back in", Join(Join(Join(data, L"sub"), L".."), L"back.fdb"),
       Join(data, L"back.fdb"), nullptr},
      {"outside", outside, outside, L"outside the data folders"},
      {"relative dot-dot", Join(L"..", L"x.fdb"), Join(tavrin, L"x.fdb"),
       L"outside the data folders"},
      {"dot-dot out", Join(Join(data, L".."), L"y.fdb"), Join(tavrin, L"y.fdb"),
       L"outside the data folders"},
      {"sibling with the same prefix", Join(data + L"2", L"z.fdb"), Join(data + L"2", L"z.fdb"),
       L"outside the data folders"},
      {"folder", Join(data, L"folder.fdb"), Join(data, L"folder.fdb"), L"a folder"},
      {"general settings", Join(data, L"GeneralSettings.xml"), Join(data, L"GeneralSettings.xml"),
       L"a settings file"},
      {"older store settings", Join(PellucorFolder(), L"StoreSettings.xml"),
       Join(PellucorFolder(), L"StoreSettings.xml"), L"a settings file"},
  };
  std::string stores;
  for (const Case& c : cases) {
    if (std::string(c.what) == "folder")
      std::filesystem::create_directories(FsPath(c.path));
    else
      WriteFile(c.path, c.what);
    stores += Store(" id=\"" + std::string(c.what) + "\"", c.value);
  }
  // A link inside the data folder to a file outside, and a linked folder
  // that leads outside: the first goes as a link, the second is refused.
  const std::wstring link = Join(data, L"link.fdb");
  const std::wstring linkedFolder = Join(data, L"linked");
  std::error_code noLinks;
  std::filesystem::create_symlink(FsPath(outside), FsPath(link), noLinks);
  if (!noLinks)
    std::filesystem::create_directory_symlink(FsPath(OtherFolder()), FsPath(linkedFolder), noLinks);
  const bool links = !noLinks;
  if (links) {
    stores += Store(" id=\"link\"", link);
    stores += Store(" id=\"linked\"", Join(linkedFolder, L"victim.fdb"));
  }
  WriteFile(Join(data, L"StoreSettings.xml"), StoreFile(stores));

  platform::OutputCapture capture;
  EXPECT_FALSE(ClearStoreSettings());

  std::vector<std::wstring> expectedLines = {L"Clear store settings >>\n"};
  for (const Case& c : cases) {
    EXPECT_EQ(Exists(c.path), c.refusal != nullptr) << c.what;
    if (c.refusal)
      expectedLines.push_back(L"Database file not deleted (" + std::wstring(c.refusal) + L"): " +
                              (c.value[0] == L'.' ? Join(data, c.value) : c.value) + L"\n");
  }
  if (links) {
    EXPECT_FALSE(Exists(link));
    expectedLines.push_back(L"Database file not deleted (outside the data folders): " +
                            Join(linkedFolder, L"victim.fdb") + L"\n");
  }
  EXPECT_EQ(ReadFile(outside), "outside");
  expectedLines.push_back(L"Clear store settings <<\n");
  EXPECT_EQ(capture.debug_output, expectedLines);
  XMLDocument saved;
  ASSERT_EQ(saved.Load(Join(data, L"StoreSettings.xml")), S_OK);
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration"), 0);
}

TEST_F(ClearStoreSettingsTest, NoFileAnywhereCreatesNothingAndStillWritesBothMessages) {
  platform::OutputCapture capture;
  EXPECT_TRUE(ClearStoreSettings());
  EXPECT_EQ(capture.debug_output, kBothMessages);
  EXPECT_FALSE(Exists(Join(DataFolder(), L"StoreSettings.xml")));
  EXPECT_FALSE(Exists(Join(PellucorFolder(), L"StoreSettings.xml")));
}

TEST_F(ClearStoreSettingsTest, FileThatCannotBeLoadedIsLeftAlone) {
  const std::wstring database = Join(DataFolder(), L"a.fdb");
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
  EXPECT_TRUE(ClearStoreSettings());
  EXPECT_EQ(capture.debug_output, kBothMessages);

  for (const std::wstring& database : databases) EXPECT_FALSE(Exists(database)) << database.c_str();
  XMLDocument saved;
  ASSERT_EQ(saved.Load(file), S_OK);
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration"), 2);
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/Store[0]/dbFileName"), databases[1]);
  EXPECT_EQ(saved.GetNodeAttribute(L"QEVConfiguration/Store[1]", L"id"), L"x\"y");
}

TEST_F(ClearStoreSettingsTest, TakenOverStoresAreMovedThenCleared) {
  const std::wstring database = Join(PellucorFolder(), L"old.fdb");
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

// Waits out the one-second pause before the second load.
TEST_F(ClearArchiveUrlTest, AnUnreadableFileIsLeftAsItWasAndReportedUndone) {
  const std::wstring file = Join(DataFolder(), L"GeneralSettings.xml");
  const std::string malformed = "<QEVConfiguration><General><PellucorURL>x</General>";
  WriteFile(file, malformed);
  EXPECT_FALSE(ClearArchiveUrl());
  EXPECT_EQ(ReadFile(file), malformed);
}

}  // namespace
}  // namespace kalinor
