// Windows opens a file by its short (8.3) name too: a folder listing must
// never call such a name absent, or the cleanup would leave a database that
// a list names that way behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "support/temp_folder.h"

namespace kalinor {
namespace {

TEST(FilesContract, AListingNeverLacksAShortNameThatOpensAFile) {
  testing::TempFolder folder;
  const std::wstring path = folder.Join(L"a very long database name.fdb");
  ASSERT_TRUE(testing::WriteFileBytes(path, "x"));
  wchar_t shortPath[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
  const std::wstring shortName = platform::LastPathPart(shortPath);
  if (shortName == L"a very long database name.fdb")
    GTEST_SKIP() << "no short names on this volume";
  ASSERT_EQ(platform::QueryFileKind(folder.Join(shortName)), platform::FileKind::kRegularFile);

  EXPECT_FALSE(platform::FolderListing(folder.Path()).CertainlyLacks(shortName)) << shortName;
}

}  // namespace
}  // namespace kalinor
