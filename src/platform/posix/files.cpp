// File operations over POSIX calls, with the Win32 semantics the callers
// expect: a move never replaces its destination and crosses file systems by
// copy and delete (MoveFileW), a copy can refuse an existing destination
// (CopyFileW), and a delete removes files only (DeleteFileW).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "platform/files.h"
#include "platform/posix/file_descriptor.h"
#include "platform/text.h"

namespace kalinor::platform {

extern const wchar_t kPathSeparator = L'/';

namespace {

// The file-system name of a path. An empty path, or one with a NUL inside
// (which the C calls would silently cut short), has none.
std::optional<std::string> NativePath(const std::wstring& path) {
  if (path.empty() || path.find(L'\0') != std::wstring::npos) return std::nullopt;
  return ToUtf8(path);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CopyContent(int from, int to) {
  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    if (!WriteAll(to, buffer, static_cast<std::size_t>(got))) return false;
  }
}

// Copies a regular file's content, permissions and modification time, as
// CopyFileW does. With exclusive, an existing destination makes it fail
// untouched. A destination this call created is removed again on failure.
// With durable, the copy is flushed to disk before success is reported.
bool CopyRegularFile(const std::string& from, const std::string& to, bool exclusive, bool durable) {
  FileDescriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!source.Valid()) return false;
  struct stat source_status {};
  if (::fstat(source.Get(), &source_status) != 0 || !S_ISREG(source_status.st_mode)) return false;

  struct stat target_status {};
  bool target_existed = ::stat(to.c_str(), &target_status) == 0;
  if (target_existed) {
    if (exclusive) return false;
    // Copying a file onto itself would truncate it to nothing.
    if (target_status.st_dev == source_status.st_dev &&
        target_status.st_ino == source_status.st_ino)
      return false;
    if (!S_ISREG(target_status.st_mode)) return false;
  }

  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
  FileDescriptor target(::open(to.c_str(), flags, source_status.st_mode & 07777));
  if (!target.Valid()) return false;

  bool copied = CopyContent(source.Get(), target.Get());
  if (copied) {
    struct timespec times[2] = {source_status.st_atim, source_status.st_mtim};
    ::futimens(target.Get(), times);  // a lost time stamp is no reason to fail
  }
  if (copied && durable) copied = ::fsync(target.Get()) == 0;
  copied = target.Close() && copied;
  if (!copied && !target_existed) ::unlink(to.c_str());
  return copied;
}

// Renames without ever replacing the destination. Returns 0 or an errno.
int RenameNoReplace(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
#endif
  // File systems without the flag: a hard link fails on an existing name,
  // then the old name goes. Folders cannot be linked; for them the check
  // and the rename are two steps.
  struct stat status {};
  if (::lstat(from.c_str(), &status) != 0) return errno;
  if (S_ISDIR(status.st_mode)) {
    if (::lstat(to.c_str(), &status) == 0) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  if (::unlink(from.c_str()) != 0) {
    int error = errno;
    ::unlink(to.c_str());
    return error;
  }
  return 0;
}

}  // namespace

bool PathExists(const std::wstring& path) {
  auto native = NativePath(path);
  struct stat status {};
  return native && ::lstat(native->c_str(), &status) == 0;
}

bool CreateFolder(const std::wstring& path) {
  auto native = NativePath(path);
  return native && ::mkdir(native->c_str(), 0777) == 0;
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to, bool fail_if_exists) {
  auto source = NativePath(from);
  auto target = NativePath(to);
  return source && target && CopyRegularFile(*source, *target, fail_if_exists, false);
}

bool MoveFileTo(const std::wstring& from, const std::wstring& to) {
  auto source = NativePath(from);
  auto target = NativePath(to);
  if (!source || !target) return false;
  int error = RenameNoReplace(*source, *target);
  if (error == 0) return true;
  if (error != EXDEV) return false;
  // Another file system: only a regular file moves, by a flushed copy and
  // then the delete. If the original cannot be deleted, the copy goes again,
  // so that the file never exists twice.
  struct stat status {};
  if (::lstat(source->c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  if (!CopyRegularFile(*source, *target, true, true)) return false;
  if (::unlink(source->c_str()) != 0) {
    ::unlink(target->c_str());
    return false;
  }
  return true;
}

bool DeleteFileAt(const std::wstring& path) {
  auto native = NativePath(path);
  struct stat status {};
  if (!native || ::lstat(native->c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return false;
  return ::unlink(native->c_str()) == 0;
}

bool QueryFileStatus(const std::wstring& path) {
  auto native = NativePath(path);
  struct stat status {};
  return native && ::stat(native->c_str(), &status) == 0;
}

std::optional<FileStamp> QueryFileStamp(const std::wstring& path) {
  auto native = NativePath(path);
  struct stat status {};
  if (!native || ::stat(native->c_str(), &status) != 0) return std::nullopt;
  constexpr std::uint64_t kNanoseconds = 1000000000;
  FileStamp stamp;
  stamp.volume = static_cast<std::uint64_t>(status.st_dev);
  stamp.file = static_cast<std::uint64_t>(status.st_ino);
  stamp.size = static_cast<std::uint64_t>(status.st_size);
  stamp.modified = static_cast<std::uint64_t>(status.st_mtim.tv_sec) * kNanoseconds +
                   static_cast<std::uint64_t>(status.st_mtim.tv_nsec);
  stamp.changed = static_cast<std::uint64_t>(status.st_ctim.tv_sec) * kNanoseconds +
                  static_cast<std::uint64_t>(status.st_ctim.tv_nsec);
  return stamp;
}

void SleepMilliseconds(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace kalinor::platform
