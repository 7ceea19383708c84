#include "settings_test_folders.h"

#include <system_error>

#include "datafolder/data_folders.h"
#include "platform/files.h"
#include "platform/output_capture.h"
#include "platform/text.h"

namespace kalinor::testing {

void SettingsFolders::SetUp() {
  ASSERT_FALSE(platform::CreateFolder(root_.Join(L"data")).Failed());
  ASSERT_FALSE(platform::CreateFolder(OtherFolder()).Failed());
  localAppData_ =
      std::make_unique<ScopedEnvironmentVariable>(L"XDG_DATA_HOME", root_.Join(L"local"));
  registry_ = std::make_unique<TestRegistry>();
  ASSERT_TRUE(registry_->SetString(platform::RegistryRoot::CurrentUser,
                                   L"Software\\Policies\\Tavrin\\Pellucor", L"DataPath",
                                   root_.Join(L"data")));
  ASSERT_TRUE(registry_->SetString(platform::RegistryRoot::LocalMachine, L"SOFTWARE\\Tavrin\\KOVEX",
                                   L"Path", root_.Join(L"install")));
  {
    platform::OutputCapture quiet;  // the policy value goes to the debugger channel
    folders_ = DataFolders::Resolve(FolderCreation::kCreate);
  }
  // The policy value comes back lower-cased (harmless on Windows); where that
  // names no folder, the data root falls back to the local app-data folder.
  dataFolder_ = folders_.DataFolder();
  pellucorFolder_ = folders_.PellucorDataFolder();
  const bool inPolicyRoot = platform::EqualsIgnoringAsciiCase(
      platform::ToUtf8(dataFolder_), platform::ToUtf8(OstrandIn(root_.Join(L"data"))));
  const bool inLocalRoot = dataFolder_ == OstrandIn(root_.Join(L"local"));
  ASSERT_TRUE(inPolicyRoot || inLocalRoot) << platform::ToUtf8(dataFolder_);
  ASSERT_EQ(folders_.InstallDataFolder(), InstallDataFolder());
  ASSERT_TRUE(Exists(DataFolder()));
}

void SettingsFolders::TearDown() {
  registry_.reset();
  localAppData_.reset();
}

std::wstring SettingsFolders::DataFolder() const { return dataFolder_; }

std::wstring SettingsFolders::PellucorFolder() const { return pellucorFolder_; }

std::wstring SettingsFolders::OstrandIn(const std::wstring& root) {
  return Join(Join(root, L"Tavrin"), L"Ostrand");
}

std::wstring SettingsFolders::InstallDataFolder() const {
  return Join(root_.Join(L"install"), L"Data");
}

std::wstring SettingsFolders::OtherFolder() const { return root_.Join(L"other"); }

std::wstring SettingsFolders::Join(const std::wstring& folder, const std::wstring& name) {
  return folder + platform::kPathSeparator + name;
}

void SettingsFolders::WriteFile(const std::wstring& path, const std::string& bytes) {
  std::error_code ignored;
  std::filesystem::create_directories(FsPath(path).parent_path(), ignored);
  ASSERT_TRUE(WriteFileBytes(path, bytes)) << "cannot write " << platform::ToUtf8(path);
}

std::string SettingsFolders::ReadFile(const std::wstring& path) {
  return ReadFileBytes(path).value_or("<missing>");
}

std::filesystem::path SettingsFolders::FsPath(const std::wstring& path) {
  std::string utf8 = platform::ToUtf8(path);
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool SettingsFolders::Exists(const std::wstring& path) { return platform::PathExists(path); }

}  // namespace kalinor::testing
