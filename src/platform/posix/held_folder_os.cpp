// The held folder's OS steps over POSIX: a folder descriptor opened component
// by component with O_NOFOLLOW, and every act relative to it (openat,
// unlinkat, renameat2), so that no name is looked up again through a link.
#include "platform/held_folder_os.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/files_os.h"
#include "platform/posix/file_io.h"
#include "platform/text.h"

namespace kalinor::platform::os {

namespace {

SystemError ErrorOf(int number) { return SystemError{static_cast<unsigned long>(number)}; }

int Fd(Native handle) { return static_cast<int>(handle); }

int OpenAtRetrying(int folder, const std::string& name, int flags, mode_t mode = 0) {
  int fd;
  do fd = ::openat(folder, name.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
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

int FlagsFor(EntryUse use) {
  switch (use) {
    case EntryUse::kLook:
    case EntryUse::kDelete:
      // The entry itself, a link included, for its facts: unlinkat acts.
      return O_PATH | O_NOFOLLOW;
    case EntryUse::kRead:
    case EntryUse::kMove:
      break;
  }
  // Not blocking: a FIFO would otherwise wait for a writer for ever.
  return O_RDONLY | O_NOFOLLOW | O_NONBLOCK;
}

// A link the system made: owned by root, in a folder only root may write, so
// that no other account can have made it or can re-point it. A FUSE file
// system answers with the owners its (possibly unprivileged) server chose:
// no link on one counts as the system's.
bool IsSystemLink(int folder, const std::string& name) {
  constexpr long kFuseMagic = 0x65735546;
  struct stat link {};
  struct stat parent {};
  struct statfs system {};
  return ::fstatat(folder, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISLNK(link.st_mode) && link.st_uid == 0 && ::fstat(folder, &parent) == 0 &&
         parent.st_uid == 0 && (parent.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
         ::fstatfs(folder, &system) == 0 && static_cast<long>(system.f_type) != kFuseMagic;
}

// The names of path, in order, without empty and "." steps.
void PrependNames(const std::string& path, std::vector<std::string>& pending) {
  std::vector<std::string> names;
  for (std::size_t from = 0; from <= path.size();) {
    const std::size_t end = std::min(path.find('/', from), path.size());
    std::string name = path.substr(from, end - from);
    if (!name.empty() && name != ".") names.push_back(std::move(name));
    from = end + 1;
  }
  pending.insert(pending.begin(), names.begin(), names.end());
}

// "/a/b" for the names a, b below the root; "" for none.
std::string PathOfNames(const std::vector<std::string>& names) {
  std::string path;
  for (const std::string& name : names) path += "/" + name;
  return path;
}

// The privileged walk: path's own names from "/" down, each opened without
// following a link; a link the system made is followed by its text, any
// other is refused and named.
SystemError WalkFollowingSystemLinks(const std::string& path, NativeFile& folder,
                                     std::wstring& realPath, std::wstring& refusedLink) {
  std::vector<NativeFile> opened;
  std::vector<std::string> names;  // the real names of opened, below "/"
  opened.emplace_back(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!opened.back().IsValid()) return LastSystemError();
  std::vector<std::string> pending;
  PrependNames(path, pending);
  constexpr int kMostLinks = 40;  // as the kernel's own bound on a path's links
  int links = 0;
  while (!pending.empty()) {
    const std::string name = pending.front();
    pending.erase(pending.begin());
    if (name == "..") {
      if (opened.size() > 1) opened.pop_back(), names.pop_back();
      continue;
    }
    const int parent = Fd(opened.back().Get());
    NativeFile next(OpenAtRetrying(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW));
    if (next.IsValid()) {
      opened.push_back(std::move(next));
      names.push_back(name);
      continue;
    }
    const SystemError error = LastSystemError();
    struct stat status {};
    if (::fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(status.st_mode))
      return error;
    if (!IsSystemLink(parent, name) || ++links > kMostLinks) {
      refusedLink = FromUtf8(PathOfNames(names) + "/" + name);
      return ErrorOf(ELOOP);
    }
    std::vector<char> target(4096);
    const ssize_t length = ::readlinkat(parent, name.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<std::size_t>(length) >= target.size()) return ErrorOf(ELOOP);
    const std::string text(target.data(), static_cast<std::size_t>(length));
    if (!text.empty() && text[0] == '/') {
      opened.resize(1);
      names.clear();
    }
    PrependNames(text, pending);
  }
  folder = std::move(opened.back());
  realPath = FromUtf8(PathOfNames(names));
  return {};
}

}  // namespace

// The system checks each act against the file-system identity of the run:
// the user's, or the folder owner's that a root run takes.
SystemError UserCould(Native, Native, UserAct) { return {}; }

bool RunIsPrivileged() { return ::geteuid() == 0; }

SystemError OpenHeldRoot(const std::wstring& path, NativeFile& folder, std::wstring& realPath,
                         std::wstring& refusedLink) {
  if (::geteuid() == 0) {
    // A relative path is the current folder's: its own names are walked too.
    std::string whole = ToUtf8(path);
    if (whole.empty() || whole[0] != '/') {
      std::unique_ptr<char, decltype(&std::free)> current(::getcwd(nullptr, 0), &std::free);
      if (!current) return LastSystemError();
      whole = std::string(current.get()) + "/" + whole;
    }
    return WalkFollowingSystemLinks(whole, folder, realPath, refusedLink);
  }
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(ToUtf8(path).c_str(), nullptr),
                                                         &std::free);
  if (!real) return LastSystemError();
  // From the root down, each folder opened without following a link: a
  // folder swapped for a link after the real path was read is refused.
  NativeFile walked(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!walked.IsValid()) return LastSystemError();
  const std::wstring whole = FromUtf8(real.get());
  if (whole != L"/") {
    const auto names = RelativeNames(whole.substr(1));
    if (!names) return UnusablePathError();
    for (const std::wstring& name : *names) {
      NativeFile next;
      if (const SystemError error = OpenSubfolder(walked.Get(), name, next); error.Failed())
        return error;
      walked = std::move(next);
    }
  }
  folder = std::move(walked);
  realPath = whole == L"/" ? L"" : whole;
  return {};
}

SystemError CreateFolderIn(Native folder, const std::wstring& name, bool ownerOnly,
                           NativeFile& opened) {
  if (::mkdirat(Fd(folder), ToUtf8(name).c_str(), ownerOnly ? 0700 : 0777) != 0)
    return LastSystemError();
  return OpenSubfolder(folder, name, opened);
}

SystemError OpenSubfolder(Native folder, const std::wstring& name, NativeFile& opened) {
  const std::string leaf = ToUtf8(name);
  opened.Reset(OpenAtRetrying(Fd(folder), leaf, O_RDONLY | O_DIRECTORY | O_NOFOLLOW));
  if (opened.IsValid()) return {};
  SystemError error = LastSystemError();
  // A link gives ELOOP whatever the kernel says for O_NOFOLLOW|O_DIRECTORY.
  struct stat status {};
  if (::fstatat(Fd(folder), leaf.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISLNK(status.st_mode))
    error = ErrorOf(ELOOP);
  return error;
}

SystemError OpenEntryIn(Native folder, const std::wstring& name, EntryUse use, NativeFile& opened) {
  opened.Reset(OpenAtRetrying(Fd(folder), ToUtf8(name), FlagsFor(use)));
  if (!opened.IsValid()) return LastSystemError();
  if ((FlagsFor(use) & O_NONBLOCK) == 0) return {};
  // Blocking again once it is known to be a regular file.
  struct stat status {};
  if (::fstat(Fd(opened.Get()), &status) != 0) return LastSystemError();
  if (!S_ISREG(status.st_mode)) return {};
  const int flags = ::fcntl(Fd(opened.Get()), F_GETFL);
  if (flags < 0 || ::fcntl(Fd(opened.Get()), F_SETFL, flags & ~O_NONBLOCK) != 0)
    return LastSystemError();
  return {};
}

SystemError FactsOf(Native entry, EntryFacts& facts) {
  struct stat status {};
  if (::fstat(Fd(entry), &status) != 0) return LastSystemError();
  facts.Kind = S_ISREG(status.st_mode)   ? FileKind::kRegularFile
               : S_ISDIR(status.st_mode) ? FileKind::kFolder
               : S_ISLNK(status.st_mode) ? FileKind::kLink
                                         : FileKind::kOther;
  facts.Size = static_cast<std::uint64_t>(status.st_size);
  facts.Links = static_cast<std::uint64_t>(status.st_nlink);
  return {};
}

bool LiesBelow(Native, const std::wstring&) { return true; }

SystemError DeleteEntry(Native folder, const std::wstring& name, Native) {
  // Without AT_REMOVEDIR a folder is refused (EISDIR); a link goes as a link.
  return ::unlinkat(Fd(folder), ToUtf8(name).c_str(), 0) == 0 ? SystemError{} : LastSystemError();
}

SystemError RenameEntry(Native folder, const std::wstring& name, Native, Native toFolder,
                        const std::wstring& toName, bool replace) {
  const std::string from = ToUtf8(name);
  const std::string to = ToUtf8(toName);
  if (replace)
    return ::renameat(Fd(folder), from.c_str(), Fd(toFolder), to.c_str()) == 0 ? SystemError{}
                                                                               : LastSystemError();
  return ErrorOf(RenameNoReplaceAt(Fd(folder), from, Fd(toFolder), to));
}

bool IsOtherFileSystem(SystemError error) { return error.Code == EXDEV; }

SystemError CreateNewFile(Native folder, const std::wstring& name, NativeFile& file) {
  file.Reset(
      OpenAtRetrying(Fd(folder), ToUtf8(name), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666));
  return file.IsValid() ? SystemError{} : LastSystemError();
}

SystemError WriteAll(Native file, std::string_view bytes) {
  return platform::WriteAll(Fd(file), bytes) ? SystemError{} : LastSystemError();
}

SystemError CopyContent(Native in, Native out) {
  const bool copied = platform::ReadToEnd(
      Fd(in), [&](std::string_view chunk) { return platform::WriteAll(Fd(out), chunk); });
  return copied ? SystemError{} : LastSystemError();
}

SystemError Flush(Native file) {
  return ::fsync(Fd(file)) == 0 ? SystemError{} : LastSystemError();
}

SystemError ReadToEnd(Native file, std::uint64_t expectedSize, std::string& bytes,
                      std::size_t max_bytes) {
  return ReadWholeOpenFile(Fd(file), expectedSize, bytes, max_bytes);
}

void TakeOwnerAndPermissions(Native old, Native file) {
  struct stat status {};
  if (::fstat(Fd(old), &status) != 0) return;
  [[maybe_unused]] const int owned = ::fchown(Fd(file), status.st_uid, status.st_gid);
  ::fchmod(Fd(file), status.st_mode & 07777);  // after the owner, which clears set-id bits
}

std::vector<std::wstring> NamesIn(Native folder) {
  std::vector<std::wstring> names;
  const int listed = ::openat(Fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listed < 0) return names;
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::fdopendir(listed), &::closedir);
  if (!listing) {
    ::close(listed);
    return names;
  }
  while (const dirent* entry = ::readdir(listing.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(FromUtf8(name));
  }
  return names;
}

void SyncFolder(Native folder) { ::fsync(Fd(folder)); }

}  // namespace kalinor::platform::os
