// File operations over POSIX calls, with the Win32 semantics the callers
// expect: a delete removes files only (DeleteFileW). Also the OS steps of
// files_os.h.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

#include "platform/files.h"
#include "platform/files_os.h"
#include "platform/posix/file_io.h"
#include "platform/posix/scoped_handles.h"
#include "platform/text.h"

namespace kalinor::platform {

extern const wchar_t kPathSeparator = L'/';

namespace {

// The file-system name of a path. An empty path, or one with a NUL inside
// (which the C calls would silently cut short), has none.
std::optional<std::string> NativePath(const std::wstring& path) {
  if (!os::IsUsablePath(path)) return std::nullopt;
  return ToUtf8(path);
}

}  // namespace

namespace os {

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

bool IsProcessGone(unsigned long process_id) {
  // 0 and the values past pid_t's range name no single process.
  if (process_id == 0 || process_id > static_cast<unsigned long>(INT_MAX)) return false;
  return ::kill(static_cast<pid_t>(process_id), 0) != 0 && errno == ESRCH;
}

std::optional<std::vector<std::wstring>> FolderEntryNames(const std::wstring& folder) {
  const std::string native = folder.empty() ? std::string(".") : ToUtf8(folder);
  if (native.find('\0') != std::string::npos) return std::nullopt;
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(native.c_str()), &::closedir);
  if (!listing) return std::nullopt;
  std::vector<std::wstring> names;
  for (;;) {
    errno = 0;  // readdir tells its end from a failure only by errno
    const dirent* entry = ::readdir(listing.get());
    if (entry == nullptr) break;
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.push_back(FromUtf8(name));
  }
  if (errno != 0) return std::nullopt;
  return names;
}

}  // namespace os

bool IsAbsolutePath(const std::wstring& path) { return !path.empty() && path.front() == L'/'; }

std::wstring AbsolutePathOf(const std::wstring& path) {
  if (IsAbsolutePath(path)) return path;
  const std::unique_ptr<char, decltype(&std::free)> current(::getcwd(nullptr, 0), &std::free);
  return current ? JoinPath(FromUtf8(current.get()), path) : std::wstring();
}

bool PathExists(const std::wstring& path) {
  auto native = NativePath(path);
  struct stat status {};
  return native && ::lstat(native->c_str(), &status) == 0;
}

bool IsGone(const std::wstring& path) {
  auto native = NativePath(path);
  struct stat status {};
  return native && ::lstat(native->c_str(), &status) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

SystemError CreateFolder(const std::wstring& path, FolderAccess access) {
  auto native = NativePath(path);
  if (!native) return UnusablePathError();
  if (::mkdir(native->c_str(), access == FolderAccess::kOwnerOnly ? 0700 : 0777) != 0)
    return LastSystemError();
  return {};
}

SystemError DeleteFileAt(const std::wstring& path) {
  auto native = NativePath(path);
  if (!native) return UnusablePathError();
  struct stat status {};
  if (::lstat(native->c_str(), &status) != 0) return LastSystemError();
  if (S_ISDIR(status.st_mode)) return SystemError{EISDIR};
  if (::unlink(native->c_str()) != 0) return LastSystemError();
  return {};
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

SystemError ReadWholeFile(const std::wstring& path, std::string& bytes, std::size_t max_bytes) {
  bytes.clear();
  const auto native = NativePath(path);
  if (!native) return UnusablePathError();
  SystemError error;
  struct stat status {};
  const FileDescriptor file = OpenRegularFileAt(AT_FDCWD, *native, 0, status, error);
  if (!file.IsValid()) return error;
  return ReadWholeOpenFile(file.Get(), static_cast<std::uintmax_t>(status.st_size), bytes,
                           max_bytes);
}

}  // namespace kalinor::platform
