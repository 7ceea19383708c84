// The POSIX file operations keep the Win32 semantics the settings code relies on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/files.h"
#include "platform/held_folder.h"
#include "platform/text.h"
#include "support/temp_folder.h"

namespace kalinor {
namespace {

using platform::CreateFolder;
using platform::DeleteFileAt;
using platform::PathExists;
using testing::IsFolder;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

// The errno a failed act carries; 0 for success.
int ErrnoOf(platform::SystemError error) { return static_cast<int>(error.Code); }

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

  ASSERT_FALSE(platform::WriteFileAtomically(path, "new").Failed());
  struct stat status {};
  ASSERT_EQ(::stat(native.c_str(), &status), 0);
  EXPECT_EQ(status.st_uid, 4321u);
  EXPECT_EQ(status.st_gid, 8765u);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFileBytes(path), "new");
}

// A held folder's move never replaces what is at the destination, moves
// regular files only, and across file systems (/dev/shm is one of its own on
// most Linux machines) goes by a flushed copy and the delete, with the same
// promises.
TEST_F(FilesTest, AHeldMoveNeverReplacesAndCrossesFileSystems) {
  const platform::HeldFolder here = platform::HeldFolder::Open(temp_.Path());
  ASSERT_TRUE(here.IsHeld());
  Write(L"J\u00F6rg.db", "data");
  Write(L"taken.db", "precious");
  ASSERT_FALSE(CreateFolder(temp_.Join(L"folder")).Failed());
  EXPECT_TRUE(here.MoveTo(L"J\u00F6rg.db", here, L"taken.db").Failed());
  EXPECT_TRUE(here.MoveTo(L"J\u00F6rg.db", here, L"folder").Failed());
  EXPECT_TRUE(here.MoveTo(L"folder", here, L"renamed").Failed());
  EXPECT_EQ(ReadFileBytes(temp_.Join(L"taken.db")), "precious");
  EXPECT_FALSE(here.MoveTo(L"J\u00F6rg.db", here, L"moved.db").Failed());
  EXPECT_EQ(ReadFileBytes(temp_.Join(L"moved.db")), "data");
  EXPECT_FALSE(PathExists(temp_.Join(L"J\u00F6rg.db")));

  if (!IsFolder(L"/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  const std::wstring other = L"/dev/shm/" + platform::LastPathPart(temp_.Path());
  ASSERT_FALSE(CreateFolder(other).Failed());
  const platform::HeldFolder there = platform::HeldFolder::Open(other);
  ASSERT_TRUE(there.IsHeld());
  Write(L"store.db", std::string(200000, 'q'));
  ASSERT_TRUE(WriteFileBytes(other + L"/taken.db", "precious"));
  EXPECT_TRUE(here.MoveTo(L"store.db", there, L"taken.db").Failed());
  EXPECT_EQ(ReadFileBytes(other + L"/taken.db"), "precious");
  EXPECT_FALSE(here.MoveTo(L"store.db", there, L"store.db").Failed());
  EXPECT_FALSE(PathExists(temp_.Join(L"store.db")));
  EXPECT_EQ(ReadFileBytes(other + L"/store.db"), std::string(200000, 'q'));
  testing::RemoveTree(other);
}

// A privileged run follows only the links the system made on the way to a
// folder it holds: owned by root, in a folder only root may write. Any other
// is refused and named.
TEST_F(FilesTest, APrivilegedHoldFollowsOnlyLinksTheSystemMade) {
  if (::geteuid() != 0) GTEST_SKIP() << "only a root run is privileged";
  const std::wstring target = temp_.Join(L"target");
  ASSERT_FALSE(CreateFolder(target).Failed());
  const struct {
    const char* What;
    uid_t LinkOwner;
    uid_t FolderOwner;
    mode_t FolderMode;
    bool Followed;
  } rows[] = {
      {"root's link in a folder only root writes", 0, 0, 0755, true},
      {"root's link in a folder its group may write", 0, 0, 0775, false},
      {"root's link in a folder anyone may write", 0, 0, 01777, false},
      {"another account's link in root's folder", 4321, 0, 0755, false},
      {"another account's link in its own folder", 4321, 4321, 0755, false},
  };
  int n = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.What);
    const std::wstring folder = temp_.Join(L"f" + std::to_wstring(n++));
    const std::wstring link = folder + L"/link";
    ASSERT_FALSE(CreateFolder(folder).Failed());
    ASSERT_EQ(::symlink(platform::ToUtf8(target).c_str(), platform::ToUtf8(link).c_str()), 0);
    ASSERT_EQ(::lchown(platform::ToUtf8(link).c_str(), row.LinkOwner, row.LinkOwner), 0);
    ASSERT_EQ(::chown(platform::ToUtf8(folder).c_str(), row.FolderOwner, row.FolderOwner), 0);
    ASSERT_EQ(::chmod(platform::ToUtf8(folder).c_str(), row.FolderMode), 0);

    const platform::HeldFolder held = platform::HeldFolder::Open(link);
    EXPECT_EQ(held.IsHeld(), row.Followed);
    if (row.Followed) {
      EXPECT_EQ(held.RealPath(), target);
    } else {
      EXPECT_EQ(held.OpenError().Kind(), platform::ErrorKind::kIsLink);
      EXPECT_EQ(held.RefusedLink(), link);
    }
    // Folders made along a path take the same road.
    const std::wstring made = L"made" + std::to_wstring(n);
    EXPECT_EQ(platform::CreateFolderWithParents(link + L"/" + made + L"/below").Failed(),
              !row.Followed);
  }
  EXPECT_EQ(temp_.FolderEntries(target), std::vector<std::wstring>{L"made1"});
}

TEST_F(FilesTest, DeleteRemovesFilesOnly) {
  const std::wstring file = Write(L"file", "x");
  const std::wstring folder = temp_.Join(L"folder");
  ASSERT_FALSE(CreateFolder(folder).Failed());

  EXPECT_EQ(ErrnoOf(DeleteFileAt(folder)), EISDIR);
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_FALSE(DeleteFileAt(file).Failed());
  EXPECT_FALSE(PathExists(file));
  EXPECT_EQ(ErrnoOf(DeleteFileAt(file)), ENOENT);
}

TEST_F(FilesTest, CreateFolderMakesOneLevelAndNamesWhyAnotherWasNotCreated) {
  const std::wstring folder = temp_.Join(L"Caf\u00E9");
  EXPECT_FALSE(CreateFolder(folder).Failed());
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_EQ(ErrnoOf(CreateFolder(folder)), EEXIST);
  EXPECT_EQ(ErrnoOf(CreateFolder(temp_.Join(L"a/b"))), ENOENT);
  EXPECT_TRUE(platform::QueryFileStatus(folder));
  EXPECT_FALSE(platform::QueryFileStatus(temp_.Join(L"missing")));

  // A relative path's folders are the current folder's, never the root's.
  const std::filesystem::path current = std::filesystem::current_path();
  std::filesystem::current_path(testing::FileSystemPath(temp_.Path()));
  const platform::SystemError made = platform::CreateFolderWithParents(L"kalinor-top/sub");
  std::filesystem::current_path(current);
  EXPECT_FALSE(made.Failed());
  EXPECT_TRUE(IsFolder(temp_.Join(L"kalinor-top/sub")));
  EXPECT_FALSE(std::filesystem::exists("/kalinor-top"));
}

// A NUL inside a wide path would cut the C call's path short: such a path
// names nothing, and the file named by its first half is left alone.
TEST_F(FilesTest, PathsWithANulOrNothingNameNothing) {
  const std::wstring file = Write(L"file", "keep");
  const std::wstring cut = file + std::wstring(1, L'\0') + L"more";

  EXPECT_FALSE(PathExists(L""));
  EXPECT_FALSE(PathExists(cut));
  EXPECT_EQ(ErrnoOf(DeleteFileAt(cut)), EINVAL);
  std::string bytes = "stale";
  EXPECT_EQ(ErrnoOf(platform::ReadWholeFile(cut, bytes)), EINVAL);
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(ErrnoOf(platform::WriteFileAtomically(cut, "lost")), EINVAL);
  EXPECT_EQ(ReadFileBytes(file), "keep");
  EXPECT_EQ(temp_.Entries(), std::vector<std::wstring>{L"file"});
}

}  // namespace
}  // namespace kalinor
