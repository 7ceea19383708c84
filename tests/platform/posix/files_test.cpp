// The POSIX file operations keep the Win32 semantics the settings code relies on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/text.h"
#include "support/temp_folder.h"

namespace kalinor {
namespace {

using platform::CopyFileTo;
using platform::CreateFolder;
using platform::DeleteFileAt;
using platform::MoveFileTo;
using platform::PathExists;
using testing::IsFolder;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

class FilesTest : public ::testing::Test {
 protected:
  std::wstring Write(const wchar_t* name, const std::string& content) {
    std::wstring path = temp_.Join(name);
    EXPECT_TRUE(WriteFileBytes(path, content));
    return path;
  }

  testing::TempFolder temp_;
};

// Root rewriting a user's settings file must leave it theirs and as private.
TEST_F(FilesTest, AnAtomicWriteKeepsTheOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  const std::wstring path = Write(L"StoreSettings.xml", "old");
  const std::string native = platform::ToUtf8(path);
  ASSERT_EQ(::chown(native.c_str(), 4321, 8765), 0);
  ASSERT_EQ(::chmod(native.c_str(), 0640), 0);

  ASSERT_TRUE(platform::WriteFileAtomically(path, "new"));
  struct stat status {};
  ASSERT_EQ(::stat(native.c_str(), &status), 0);
  EXPECT_EQ(status.st_uid, 4321u);
  EXPECT_EQ(status.st_gid, 8765u);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFileBytes(path), "new");
}

TEST_F(FilesTest, MoveNeverReplacesAnExistingDestination) {
  const std::wstring from = Write(L"from.db", "new");
  const std::wstring to = Write(L"to.db", "precious");

  EXPECT_FALSE(MoveFileTo(from, to));
  EXPECT_EQ(ReadFileBytes(to), "precious");
  EXPECT_EQ(ReadFileBytes(from), "new");

  // Not even over an empty folder.
  const std::wstring folder = temp_.Join(L"folder");
  ASSERT_TRUE(CreateFolder(folder));
  EXPECT_FALSE(MoveFileTo(from, folder));
  EXPECT_EQ(ReadFileBytes(from), "new");
}

TEST_F(FilesTest, MoveRenamesFilesAndFolders) {
  const std::wstring from = Write(L"J\u00F6rg.db", "data");
  const std::wstring to = temp_.Join(L"moved.db");
  EXPECT_TRUE(MoveFileTo(from, to));
  EXPECT_FALSE(PathExists(from));
  EXPECT_EQ(ReadFileBytes(to), "data");

  const std::wstring folder = temp_.Join(L"folder");
  ASSERT_TRUE(CreateFolder(folder));
  ASSERT_TRUE(WriteFileBytes(folder + L"/inside", "x"));
  EXPECT_TRUE(MoveFileTo(folder, temp_.Join(L"renamed")));
  EXPECT_EQ(ReadFileBytes(temp_.Join(L"renamed/inside")), "x");

  EXPECT_FALSE(MoveFileTo(temp_.Join(L"missing"), temp_.Join(L"anywhere")));
  EXPECT_FALSE(PathExists(temp_.Join(L"anywhere")));
}

// /dev/shm is a file system of its own on most Linux machines: the move then
// goes by copy and delete, and must keep the same promises.
TEST_F(FilesTest, MoveToAnotherFileSystemCopiesThenDeletes) {
  if (!IsFolder(L"/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  const std::wstring other = L"/dev/shm/" + temp_.Path().substr(temp_.Path().rfind(L'/') + 1);
  ASSERT_TRUE(CreateFolder(other));
  const std::wstring from = Write(L"store.db", std::string(200000, 'q'));
  const std::wstring to = other + L"/store.db";
  const std::wstring taken = other + L"/taken.db";
  ASSERT_TRUE(WriteFileBytes(taken, "precious"));

  EXPECT_FALSE(MoveFileTo(from, taken));
  EXPECT_EQ(ReadFileBytes(taken), "precious");
  EXPECT_TRUE(MoveFileTo(from, to));
  EXPECT_FALSE(PathExists(from));
  EXPECT_EQ(ReadFileBytes(to), std::string(200000, 'q'));
  testing::RemoveTree(other);
}

TEST_F(FilesTest, CopyWithFailIfExistsLeavesTheDestinationAlone) {
  const std::wstring from = Write(L"from", "seed");
  const std::wstring to = Write(L"to", "mine");

  EXPECT_FALSE(CopyFileTo(from, to, true));
  EXPECT_EQ(ReadFileBytes(to), "mine");
  EXPECT_TRUE(CopyFileTo(from, to, false));
  EXPECT_EQ(ReadFileBytes(to), "seed");
  EXPECT_TRUE(CopyFileTo(from, temp_.Join(L"new"), true));
  EXPECT_EQ(ReadFileBytes(temp_.Join(L"new")), "seed");
  EXPECT_EQ(ReadFileBytes(from), "seed");
}

TEST_F(FilesTest, CopyRefusesFoldersMissingSourcesAndItself) {
  const std::wstring file = Write(L"file", "content");
  EXPECT_FALSE(CopyFileTo(file, file, false));
  EXPECT_EQ(ReadFileBytes(file), "content");

  const std::wstring folder = temp_.Join(L"folder");
  ASSERT_TRUE(CreateFolder(folder));
  EXPECT_FALSE(CopyFileTo(folder, temp_.Join(L"copy"), true));
  EXPECT_FALSE(PathExists(temp_.Join(L"copy")));
  EXPECT_FALSE(CopyFileTo(temp_.Join(L"missing"), temp_.Join(L"copy"), true));
  EXPECT_FALSE(PathExists(temp_.Join(L"copy")));
  EXPECT_FALSE(CopyFileTo(file, temp_.Join(L"no/such/folder"), true));
}

TEST_F(FilesTest, DeleteRemovesFilesOnly) {
  const std::wstring file = Write(L"file", "x");
  const std::wstring folder = temp_.Join(L"folder");
  ASSERT_TRUE(CreateFolder(folder));

  EXPECT_FALSE(DeleteFileAt(folder));
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_TRUE(DeleteFileAt(file));
  EXPECT_FALSE(PathExists(file));
  EXPECT_FALSE(DeleteFileAt(file));
}

TEST_F(FilesTest, CreateFolderMakesOneLevelAndReportsAnExistingOneAsNotCreated) {
  const std::wstring folder = temp_.Join(L"Caf\u00E9");
  EXPECT_TRUE(CreateFolder(folder));
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_FALSE(CreateFolder(folder));
  EXPECT_FALSE(CreateFolder(temp_.Join(L"a/b")));
  EXPECT_TRUE(platform::QueryFileStatus(folder));
  EXPECT_FALSE(platform::QueryFileStatus(temp_.Join(L"missing")));
}

// A NUL inside a wide path would cut the C call's path short: such a path
// names nothing, and the file named by its first half is left alone.
TEST_F(FilesTest, PathsWithANulOrNothingNameNothing) {
  const std::wstring file = Write(L"file", "keep");
  const std::wstring cut = file + std::wstring(1, L'\0') + L"more";

  EXPECT_FALSE(PathExists(L""));
  EXPECT_FALSE(PathExists(cut));
  EXPECT_FALSE(DeleteFileAt(cut));
  EXPECT_FALSE(MoveFileTo(cut, temp_.Join(L"moved")));
  EXPECT_FALSE(CopyFileTo(file, temp_.Join(L"c") + std::wstring(1, L'\0'), false));
  std::string bytes = "stale";
  EXPECT_FALSE(platform::ReadWholeFile(cut, bytes));
  EXPECT_EQ(bytes, "");
  EXPECT_FALSE(platform::WriteFileAtomically(cut, "lost"));
  EXPECT_EQ(ReadFileBytes(file), "keep");
  EXPECT_FALSE(PathExists(temp_.Join(L"c")));
  EXPECT_EQ(temp_.Entries(), std::vector<std::wstring>{L"file"});
}

}  // namespace
}  // namespace kalinor
