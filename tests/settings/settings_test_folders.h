// A fixture that gives each test its own folders: a data root named by the
// policy value "DataPath", an installation named by the product value "Path", a scratch folder,
// and file helpers to set them up and look at them afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "datafolder/data_folders.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "support/test_registry.h"

namespace kalinor::testing {

class SettingsFolders : public ::testing::Test {
 public:
  /// Joins folder and name with the platform separator.
  static std::wstring Join(const std::wstring& folder, const std::wstring& name);
  /// Writes bytes as the whole file, creating its folders; fails the test
  /// when it cannot.
  static void WriteFile(const std::wstring& path, const std::string& bytes);
  /// The file's bytes; "<missing>" when it cannot be read.
  static std::string ReadFile(const std::wstring& path);
  /// True when anything exists at path.
  static bool Exists(const std::wstring& path);
  /// The path for std::filesystem (UTF-8 on both builds).
  static std::filesystem::path FsPath(const std::wstring& path);

 protected:
  void SetUp() override;
  void TearDown() override;

  /// DataFolder(), PellucorDataFolder() and InstallDataFolder() as this
  /// fixture steers them, inside its temporary folder; the data folder
  /// exists, the other two do not yet.
  std::wstring DataFolder() const;
  std::wstring PellucorFolder() const;
  std::wstring InstallDataFolder() const;
  /// A scratch folder outside the data root (created).
  std::wstring OtherFolder() const;
  /// The fixture's temporary folder, which holds every other.
  std::wstring Root() const { return root_.Path(); }
  /// The folders as the fixture resolved them.
  const DataFolders& Folders() const { return folders_; }

 private:
  static std::wstring OstrandIn(const std::wstring& root);

  TempFolder root_;
  std::wstring dataFolder_;
  std::wstring pellucorFolder_;
  DataFolders folders_;
  std::unique_ptr<ScopedEnvironmentVariable> localAppData_;
  std::unique_ptr<TestRegistry> registry_;
};

}  // namespace kalinor::testing
