// The POSIX special folders: the XDG variables, then HOME.
#include <gtest/gtest.h>

#include "platform/special_folders.h"
#include "platform/text.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"

namespace kalinor {
namespace {

using platform::GetSpecialFolderPath;
using platform::kCsidlAppData;
using platform::kCsidlLocalAppData;
using platform::kCsidlPersonal;
using platform::kCsidlProfile;
using testing::IsFolder;
using testing::ScopedEnvironmentVariable;

class SpecialFoldersTest : public ::testing::Test {
 protected:
  std::wstring Home() const { return temp_.Join(L"home"); }

  testing::TempFolder temp_;
  ScopedEnvironmentVariable home_{L"HOME", temp_.Join(L"home")};
  ScopedEnvironmentVariable config_{L"XDG_CONFIG_HOME", L""};
  ScopedEnvironmentVariable data_{L"XDG_DATA_HOME", L""};
};

TEST_F(SpecialFoldersTest, WithOnlyHomeTheFoldersLieBelowItAndAreCreated) {
  EXPECT_EQ(GetSpecialFolderPath(kCsidlProfile), Home());
  EXPECT_EQ(GetSpecialFolderPath(kCsidlAppData), Home() + L"/.config");
  EXPECT_EQ(GetSpecialFolderPath(kCsidlLocalAppData), Home() + L"/.local/share");
  EXPECT_EQ(GetSpecialFolderPath(kCsidlPersonal), Home() + L"/Documents");
  EXPECT_TRUE(IsFolder(Home() + L"/.local/share"));
  EXPECT_TRUE(IsFolder(Home() + L"/Documents"));
  EXPECT_EQ(GetSpecialFolderPath(12345), L"");
}

TEST_F(SpecialFoldersTest, AbsoluteXdgVariablesWinAndRelativeOnesAreIgnored) {
  ScopedEnvironmentVariable config(L"XDG_CONFIG_HOME", temp_.Join(L"cfg/"));
  ScopedEnvironmentVariable data(L"XDG_DATA_HOME", L"relative/data");

  EXPECT_EQ(GetSpecialFolderPath(kCsidlAppData), temp_.Join(L"cfg"));
  EXPECT_EQ(GetSpecialFolderPath(kCsidlLocalAppData), Home() + L"/.local/share");
}

TEST_F(SpecialFoldersTest, DocumentsComeFromUserDirs) {
  ASSERT_TRUE(testing::CreateFolderTree(Home() + L"/.config"));
  ASSERT_TRUE(testing::WriteFileBytes(Home() + L"/.config/user-dirs.dirs",
                                      "# written by xdg-user-dirs-update\n"
                                      "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                      "XDG_DOCUMENTS_DIR=\"$HOME/Meine \\\"Dokumente\\\"\"\n"));
  EXPECT_EQ(GetSpecialFolderPath(kCsidlPersonal), Home() + L"/Meine \"Dokumente\"");
  EXPECT_TRUE(IsFolder(Home() + L"/Meine \"Dokumente\""));

  const std::wstring absolute = temp_.Join(L"docs");
  ASSERT_TRUE(testing::WriteFileBytes(Home() + L"/.config/user-dirs.dirs",
                                      "XDG_DOCUMENTS_DIR=\"" + platform::ToUtf8(absolute) +
                                          "\"\nXDG_DOCUMENTS_DIR=\"relative\"\n"));
  // A relative entry is no entry; the absolute one before it stands.
  EXPECT_EQ(GetSpecialFolderPath(kCsidlPersonal), absolute);
}

TEST_F(SpecialFoldersTest, WithoutHomeOrVariablesNothingIsFound) {
  ScopedEnvironmentVariable no_home(L"HOME", L"");
  EXPECT_EQ(GetSpecialFolderPath(kCsidlProfile), L"");
  EXPECT_EQ(GetSpecialFolderPath(kCsidlAppData), L"");
  EXPECT_EQ(GetSpecialFolderPath(kCsidlLocalAppData), L"");
  EXPECT_EQ(GetSpecialFolderPath(kCsidlPersonal), L"");

  ScopedEnvironmentVariable data(L"XDG_DATA_HOME", temp_.Join(L"data"));
  EXPECT_EQ(GetSpecialFolderPath(kCsidlLocalAppData), temp_.Join(L"data"));
}

TEST_F(SpecialFoldersTest, AFolderThatCannotBeCreatedIsNotFound) {
  ASSERT_TRUE(testing::WriteFileBytes(temp_.Join(L"file"), "x"));
  ScopedEnvironmentVariable data(L"XDG_DATA_HOME", temp_.Join(L"file/data"));
  EXPECT_EQ(GetSpecialFolderPath(kCsidlLocalAppData), L"");
}

}  // namespace
}  // namespace kalinor
