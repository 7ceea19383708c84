// Whole-file reads and atomic whole-file writes on POSIX: the new content
// goes to a temporary file in the same folder (so the rename stays on one
// file system), is flushed to disk, and is then renamed over the old file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/posix/file_descriptor.h"
#include "platform/text.h"

namespace kalinor::platform {

namespace {

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The rename itself is on disk only once its folder is flushed. Some file
// systems refuse fsync on a folder; the rename has happened all the same.
void FlushFolderOf(const std::string& path) {
  FileDescriptor folder(OpenRetrying(FolderOf(path), O_RDONLY | O_DIRECTORY));
  if (folder.Valid()) ::fsync(folder.Get());
}

// The new file keeps the permissions of the file it replaces.
void CopyPermissions(int fd, const std::string& from) {
  struct stat status;
  if (::stat(from.c_str(), &status) == 0 && S_ISREG(status.st_mode))
    ::fchmod(fd, status.st_mode & 07777);
}

}  // namespace

bool ReadWholeFile(const std::wstring& path, std::string& bytes, std::size_t max_bytes) {
  bytes.clear();
  if (path.empty() || path.find(L'\0') != std::wstring::npos) return false;
  // O_NONBLOCK: opening a FIFO would otherwise wait for a writer for ever.
  FileDescriptor file(OpenRetrying(ToUtf8(path), O_RDONLY | O_NONBLOCK | O_NOCTTY));
  if (!file.Valid()) return false;
  struct stat status;
  if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<std::uintmax_t>(status.st_size) > max_bytes)
    return false;
  const int flags = ::fcntl(file.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return false;
  // Read to the end rather than trusting the size: the file may grow, but
  // never past the cap.
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || bytes.size() + static_cast<std::size_t>(got) > max_bytes) {
      bytes.clear();
      return false;
    }
    if (got == 0) return true;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

std::wstring TemporarySiblingPath(const std::wstring& path) {
  // The whole path plus a suffix keeps the file in the same folder.
  static std::atomic<unsigned> counter{0};
  const std::wstring stem = path + L"." + std::to_wstring(::getpid()) + L"-";
  std::wstring candidate;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    candidate = stem + std::to_wstring(counter++) + L".tmp";
    struct stat status;
    if (::lstat(ToUtf8(candidate).c_str(), &status) != 0 && errno == ENOENT) break;
  }
  return candidate;
}

bool ReplaceFileWith(const std::wstring& written, const std::wstring& target) {
  if (written.empty() || target.empty()) return false;
  const std::string from = ToUtf8(written);
  const std::string to = ToUtf8(target);
  {
    // The content must be on disk before the name points at it, or a crash
    // right after the rename could leave an empty file behind.
    FileDescriptor file(OpenRetrying(from, O_WRONLY));
    if (!file.Valid() || ::fsync(file.Get()) != 0 || !file.Close()) return false;
  }
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  FlushFolderOf(to);
  return true;
}

bool WriteFileAtomically(const std::wstring& path, std::string_view bytes) {
  if (path.empty()) return false;
  const std::string target = ToUtf8(path);
  for (int attempt = 0; attempt < 10; ++attempt) {
    const std::string temporary = ToUtf8(TemporarySiblingPath(path));
    FileDescriptor file(OpenRetrying(temporary, O_WRONLY | O_CREAT | O_EXCL, 0666));
    if (!file.Valid()) {
      if (errno == EEXIST) continue;  // taken since it was named: name another
      return false;
    }
    CopyPermissions(file.Get(), target);
    bool done = WriteAll(file.Get(), bytes) && ::fsync(file.Get()) == 0;
    done = file.Close() && done;
    if (done && ::rename(temporary.c_str(), target.c_str()) == 0) {
      FlushFolderOf(target);
      return true;
    }
    ::unlink(temporary.c_str());
    return false;
  }
  return false;
}

}  // namespace kalinor::platform
