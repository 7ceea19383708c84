// The held folder over POSIX: a folder descriptor opened component by
// component with O_NOFOLLOW, and every act relative to it (openat, unlinkat,
// renameat2), so that no name is looked up again through a link.
#include "platform/held_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/files_os.h"
#include "platform/posix/file_io.h"
#include "platform/posix/scoped_handles.h"
#include "platform/text.h"

namespace kalinor::platform {

struct HeldFolder::Handle {
  FileDescriptor Folder;
};

namespace {

SystemError ErrorOf(int number) { return SystemError{static_cast<unsigned long>(number)}; }
SystemError LastError() { return ErrorOf(errno); }

int OpenAtRetrying(int folder, const std::string& name, int flags, mode_t mode = 0) {
  int fd;
  do fd = ::openat(folder, name.c_str(), flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

// Opens the folder name in folder without following a link there. A link
// gives ELOOP whatever the kernel says for O_NOFOLLOW|O_DIRECTORY.
FileDescriptor OpenSubfolder(int folder, const std::string& name, SystemError& error) {
  FileDescriptor opened(OpenAtRetrying(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW));
  if (opened.IsValid()) return opened;
  error = LastError();
  struct stat status {};
  if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode))
    error = LinkOnTheWay();
  return opened;
}

// The folder that holds an entry: the held folder itself (borrowed), or one
// below it, opened on the way (owned).
struct FolderOnTheWay {
  FileDescriptor Owned;
  int Fd = -1;
  bool IsValid() const { return Fd >= 0; }
  int Get() const { return Fd; }
};

// The folder that holds the last name of a relative path, opened from the
// held folder down; the last name goes to leaf. Invalid (error set) when a
// name is no plain name or a folder on the way cannot be opened.
FolderOnTheWay ParentOf(int held, const std::wstring& relative, std::string& leaf,
                        SystemError& error) {
  FolderOnTheWay folder;
  const auto names = os::RelativeNames(relative);
  if (!names) {
    error = ErrorOf(EINVAL);
    return folder;
  }
  folder.Fd = held;
  for (std::size_t i = 0; folder.IsValid() && i + 1 < names->size(); ++i) {
    folder.Owned = OpenSubfolder(folder.Fd, ToUtf8((*names)[i]), error);
    folder.Fd = folder.Owned.Get();
  }
  leaf = ToUtf8(names->back());
  return folder;
}

// Copies the open file in to out, chunk by chunk; false (errno set) on failure.
bool CopyContent(int in, int out) {
  return ReadToEnd(in, [&](std::string_view chunk) { return WriteAll(out, chunk); });
}

// Renames from to to, both relative to their folders, never replacing to.
int RenameNoReplaceAt(int fromFolder, const std::string& from, int toFolder,
                      const std::string& to) {
#if defined(RENAME_NOREPLACE)
  if (::renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
#endif
  // Without the flag: a hard link fails on a taken name; then the old name goes.
  if (::linkat(fromFolder, from.c_str(), toFolder, to.c_str(), 0) != 0) return errno;
  if (::unlinkat(fromFolder, from.c_str(), 0) != 0) {
    const int error = errno;
    ::unlinkat(toFolder, to.c_str(), 0);
    return error;
  }
  return 0;
}

// Removes the leftovers of earlier saves of name in folder that were killed
// before their rename.
void RemoveLeftoverTemporaries(int folder, const std::wstring& name) {
  const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listed < 0) return;
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::fdopendir(listed), &::closedir);
  if (!listing) {
    ::close(listed);
    return;
  }
  while (const dirent* entry = ::readdir(listing.get()))
    if (os::IsLeftoverTemporaryOf(FromUtf8(entry->d_name), name))
      ::unlinkat(folder, entry->d_name, 0);
}

// A new temporary file beside name in folder, created exclusively; its name
// goes to temporary.
FileDescriptor CreateTemporaryAt(int folder, const std::wstring& name, std::string& temporary,
                                 SystemError& error) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    temporary = ToUtf8(os::TemporaryNameFor(name));
    FileDescriptor file(
        OpenAtRetrying(folder, temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666));
    if (file.IsValid() || errno != EEXIST) {
      if (!file.IsValid()) error = LastError();
      return file;
    }
  }
  error = ErrorOf(EEXIST);
  return {};
}

// The new file takes the owner, group and permissions of the one it
// replaces, so that a file of another user stays theirs when root rewrites it.
void TakeOwnerAndPermissions(int fd, const struct stat& old) {
  [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
  ::fchmod(fd, old.st_mode & 07777);  // after the owner, which clears set-id bits
}

}  // namespace

SystemError LinkOnTheWay() { return ErrorOf(ELOOP); }

HeldFolder::HeldFolder() = default;
HeldFolder::~HeldFolder() = default;
HeldFolder::HeldFolder(HeldFolder&&) noexcept = default;
HeldFolder& HeldFolder::operator=(HeldFolder&&) noexcept = default;

HeldFolder HeldFolder::Open(const std::wstring& path) {
  HeldFolder held;
  const std::unique_ptr<char, decltype(&std::free)> real(
      os::IsUsablePath(path) ? ::realpath(ToUtf8(path).c_str(), nullptr) : nullptr, &std::free);
  if (!real) {
    held.openError_ = os::IsUsablePath(path) ? LastError() : ErrorOf(EINVAL);
    return held;
  }
  // From the root down, each folder opened without following a link: a
  // folder swapped for a link after the real path was read is refused.
  SystemError error;
  FileDescriptor folder(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const std::wstring realPath = FromUtf8(real.get());
  if (realPath != L"/") {
    std::string leaf;
    const FolderOnTheWay parent = ParentOf(folder.Get(), realPath.substr(1), leaf, error);
    folder = parent.IsValid() ? OpenSubfolder(parent.Get(), leaf, error) : FileDescriptor();
  }
  if (!folder.IsValid()) {
    held.openError_ = error.Failed() ? error : LastError();
    return held;
  }
  held.handle_ = std::make_unique<Handle>(Handle{std::move(folder)});
  held.realPath_ = realPath == L"/" ? L"" : realPath;
  return held;
}

FileKind HeldFolder::KindOf(const std::wstring& relative) const {
  if (!IsHeld()) return FileKind::kMissing;
  SystemError error;
  std::string leaf;
  const FolderOnTheWay folder = ParentOf(handle_->Folder.Get(), relative, leaf, error);
  struct stat status {};
  if (!folder.IsValid() || ::fstatat(folder.Get(), leaf.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
    return FileKind::kMissing;
  if (S_ISREG(status.st_mode)) return FileKind::kRegularFile;
  if (S_ISDIR(status.st_mode)) return FileKind::kFolder;
  if (S_ISLNK(status.st_mode)) return FileKind::kLink;
  return FileKind::kOther;
}

SystemError HeldFolder::Delete(const std::wstring& relative) const {
  if (!IsHeld()) return ErrorOf(EBADF);
  SystemError error;
  std::string leaf;
  const FolderOnTheWay folder = ParentOf(handle_->Folder.Get(), relative, leaf, error);
  if (!folder.IsValid()) return error;
  // Without AT_REMOVEDIR a folder is refused (EISDIR); a link goes as a link.
  return ::unlinkat(folder.Get(), leaf.c_str(), 0) == 0 ? SystemError{} : LastError();
}

SystemError HeldFolder::MoveTo(const std::wstring& relative, const HeldFolder& destination,
                               const std::wstring& name) const {
  if (!IsHeld() || !destination.IsHeld()) return ErrorOf(EBADF);
  if (!IsPlainFileName(name)) return ErrorOf(EINVAL);
  SystemError error;
  std::string leaf;
  const FolderOnTheWay folder = ParentOf(handle_->Folder.Get(), relative, leaf, error);
  if (!folder.IsValid()) return error;
  // Only a regular file moves. A rename never follows a link, so what is put
  // in its place meanwhile moves as itself, still inside the held folders.
  struct stat status {};
  if (::fstatat(folder.Get(), leaf.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return LastError();
  if (!S_ISREG(status.st_mode)) return ErrorOf(S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
  const int target = destination.handle_->Folder.Get();
  const std::string targetName = ToUtf8(name);
  const int renamed = RenameNoReplaceAt(folder.Get(), leaf, target, targetName);
  if (renamed != EXDEV) return ErrorOf(renamed);
  // Another file system: a flushed copy under a temporary name, put in
  // place without replacing, then the original goes (or the copy again).
  const FileDescriptor source = OpenRegularFileAt(folder.Get(), leaf, O_NOFOLLOW, status, error);
  if (!source.IsValid()) return error;
  std::string temporary;
  FileDescriptor copy = CreateTemporaryAt(target, name, temporary, error);
  if (!copy.IsValid()) return error;
  ::fchmod(copy.Get(), status.st_mode & 0777);
  bool copied = CopyContent(source.Get(), copy.Get()) && ::fsync(copy.Get()) == 0;
  error = LastError();
  copied = copy.Close() && copied;
  if (copied) error = ErrorOf(RenameNoReplaceAt(target, temporary, target, targetName));
  if (!copied || error.Failed()) {
    ::unlinkat(target, temporary.c_str(), 0);
    return error.Failed() ? error : ErrorOf(EIO);
  }
  if (::unlinkat(folder.Get(), leaf.c_str(), 0) != 0) {
    error = LastError();
    ::unlinkat(target, targetName.c_str(), 0);
    return error;
  }
  return {};
}

SystemError HeldFolder::ReadWhole(const std::wstring& relative, std::string& bytes,
                                  std::size_t max_bytes) const {
  bytes.clear();
  if (!IsHeld()) return ErrorOf(EBADF);
  SystemError error;
  std::string leaf;
  const FolderOnTheWay folder = ParentOf(handle_->Folder.Get(), relative, leaf, error);
  if (!folder.IsValid()) return error;
  struct stat status {};
  const FileDescriptor file = OpenRegularFileAt(folder.Get(), leaf, O_NOFOLLOW, status, error);
  if (!file.IsValid()) return error;
  return ReadWholeOpenFile(file.Get(), static_cast<std::uintmax_t>(status.st_size), bytes,
                           max_bytes);
}

SystemError HeldFolder::WriteAtomically(const std::wstring& name, std::string_view bytes,
                                        ExistingFile existing) const {
  if (!IsHeld()) return ErrorOf(EBADF);
  if (!IsPlainFileName(name)) return ErrorOf(EINVAL);
  const int held = handle_->Folder.Get();
  const std::string target = ToUtf8(name);
  struct stat old {};
  const bool replaces = ::fstatat(held, target.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (replaces && existing == ExistingFile::kKeep) return ErrorOf(EEXIST);
  if (replaces && !S_ISREG(old.st_mode)) return ErrorOf(S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
  RemoveLeftoverTemporaries(held, name);
  SystemError error;
  std::string temporary;
  FileDescriptor file = CreateTemporaryAt(held, name, temporary, error);
  if (!file.IsValid()) return error;
  if (replaces) TakeOwnerAndPermissions(file.Get(), old);
  bool written = WriteAll(file.Get(), bytes) && ::fsync(file.Get()) == 0;
  error = LastError();
  written = file.Close() && written;
  if (written) {
    const int renamed =
        existing == ExistingFile::kKeep
            ? RenameNoReplaceAt(held, temporary, held, target)
            : (::renameat(held, temporary.c_str(), held, target.c_str()) == 0 ? 0 : errno);
    if (renamed == 0) {
      ::fsync(held);  // the rename is on disk once its folder is
      return {};
    }
    error = ErrorOf(renamed);
  }
  ::unlinkat(held, temporary.c_str(), 0);
  return error.Failed() ? error : ErrorOf(EIO);
}

}  // namespace kalinor::platform
