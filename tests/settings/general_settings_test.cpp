#include "settings/general_settings.h"

#include <gtest/gtest.h>

#include "settings/settings_test_folders.h"
#include "xml/xml_document.h"

namespace kalinor {
namespace {


std::string GeneralFile(const std::string& url, const std::string& days) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QEVConfiguration>\n  <General>\n"
         "    <PellucorURL>" +
         url +
         "</PellucorURL>\n"
         "    <OfflineMaxDays>" +
         days +
         "</OfflineMaxDays>\n"
         "    <Proxy port=\"8080\">proxy.example</Proxy>\n"
         "  </General>\n  <Other>kept</Other>\n</QEVConfiguration>\n";
}

class GeneralSettingsTest : public testing::SettingsFolders {
 protected:
  std::wstring GeneralFilePath() const { return Join(DataFolder(), L"GeneralSettings.xml"); }
};

TEST_F(GeneralSettingsTest, FileInTheDataFolderIsLoadedAndNothingIsCopied) {
  const std::wstring file = Join(DataFolder(), L"GeneralSettings.xml");
  const std::wstring pellucorFile = Join(PellucorFolder(), L"GeneralSettings.xml");
  const std::wstring installFile = Join(InstallDataFolder(), L"GeneralSettings.xml");
  WriteFile(file, GeneralFile("https://archive.example/data", "30"));
  WriteFile(pellucorFile, GeneralFile("https://pellucor.example", "1"));
  WriteFile(installFile, GeneralFile("https://install.example", "2"));

  GeneralSettings settings(GeneralFilePath(), GeneralFilePath());
  EXPECT_EQ(settings.FilePath, file);
  EXPECT_EQ(settings.Document.GetNodeText(L"QEVConfiguration/General/PellucorURL"),
            L"https://archive.example/data");

  // Changes stay in memory until Save; then only the one element changes.
  ASSERT_EQ(settings.SetValue(L"PellucorURL", L""), S_OK);
  EXPECT_EQ(ReadFile(file), GeneralFile("https://archive.example/data", "30"));
  ASSERT_EQ(settings.Save(), S_OK);

  XMLDocument saved;
  ASSERT_EQ(saved.Load(file), S_OK);
  EXPECT_TRUE(saved.NodeExists(L"QEVConfiguration/General/PellucorURL"));
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/PellucorURL"), L"");
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/OfflineMaxDays"), L"30");
  EXPECT_EQ(saved.GetNodeAttribute(L"QEVConfiguration/General/Proxy", L"port"), L"8080");
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/Other"), L"kept");
  EXPECT_EQ(ReadFile(pellucorFile), GeneralFile("https://pellucor.example", "1"));
  EXPECT_EQ(ReadFile(installFile), GeneralFile("https://install.example", "2"));
}

TEST_F(GeneralSettingsTest, RefusedKeysChangeNothingAndOtherKeysAreWritten) {
  const std::wstring file = Join(DataFolder(), L"GeneralSettings.xml");
  WriteFile(file, GeneralFile("https://archive.example", "30"));
  GeneralSettings settings(GeneralFilePath(), GeneralFilePath());

  for (const wchar_t* key : {L"SynchronizeDaysSpan", L"TransferMessagesBatchSize",
                             L"OfflineMaxDays", L"TryConnectionTimeout"}) {
    EXPECT_EQ(settings.SetValue(key, L"99"), E_FAIL) << key;
  }
  EXPECT_EQ(settings.Document.GetNodeText(L"QEVConfiguration/General/OfflineMaxDays"), L"30");
  EXPECT_FALSE(settings.Document.NodeExists(L"QEVConfiguration/General/SynchronizeDaysSpan"));
  EXPECT_FALSE(settings.Document.NodeExists(L"QEVConfiguration/General/TransferMessagesBatchSize"));
  EXPECT_FALSE(settings.Document.NodeExists(L"QEVConfiguration/General/TryConnectionTimeout"));
  // Only the exact spelling is refused; another letter case is a key of its own.
  EXPECT_EQ(settings.SetValue(L"offlinemaxdays", L"7"), S_OK);
  EXPECT_EQ(settings.SetValue(L"NewKey", L"new"), S_OK);
  ASSERT_EQ(settings.Save(), S_OK);

  XMLDocument saved;
  ASSERT_EQ(saved.Load(file), S_OK);
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/OfflineMaxDays"), L"30");
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/offlinemaxdays"), L"7");
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/NewKey"), L"new");
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/PellucorURL"), L"https://archive.example");
  EXPECT_FALSE(saved.NodeExists(L"QEVConfiguration/General/SynchronizeDaysSpan"));
}

// The two cases below wait out the one-second pause before the second load.
TEST_F(GeneralSettingsTest, FileMissingEverywhereIsCreatedWithJustThePathThatWasSet) {
  const std::wstring file = Join(DataFolder(), L"GeneralSettings.xml");
  GeneralSettings settings(GeneralFilePath(), GeneralFilePath());
  EXPECT_FALSE(Exists(file));

  ASSERT_EQ(settings.SetValue(L"PellucorURL", L""), S_OK);
  ASSERT_EQ(settings.Save(), S_OK);

  XMLDocument saved;
  ASSERT_EQ(saved.Load(file), S_OK);
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration"), 1);
  EXPECT_EQ(saved.GetChildNodeCount(L"QEVConfiguration/General"), 1);
  EXPECT_TRUE(saved.NodeExists(L"QEVConfiguration/General/PellucorURL"));
  EXPECT_EQ(saved.GetNodeText(L"QEVConfiguration/General/PellucorURL"), L"");
}

TEST_F(GeneralSettingsTest, FileThatCannotBeLoadedIsNeverWrittenOver) {
  const std::wstring file = Join(DataFolder(), L"GeneralSettings.xml");
  const std::string malformed = "<QEVConfiguration><General><PellucorURL>https://a.example";
  WriteFile(file, malformed);
  WriteFile(Join(PellucorFolder(), L"GeneralSettings.xml"), GeneralFile("https://p.example", "1"));

  GeneralSettings settings(GeneralFilePath(), GeneralFilePath());
  settings.SetValue(L"PellucorURL", L"");
  EXPECT_EQ(settings.Save(), E_FAIL);
  EXPECT_EQ(ReadFile(file), malformed);
}

}  // namespace
}  // namespace kalinor
