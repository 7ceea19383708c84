// Whole reads and writes on an open descriptor, retried on EINTR: the
// steps files.cpp and held_folder.cpp share.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "platform/posix/scoped_handles.h"
#include "platform/system_error.h"

namespace kalinor::platform {

/// Writes every byte; false (errno set) on failure.
inline bool WriteAll(int fd, std::string_view bytes) {
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

/// Hands each chunk of the file to sink until the end, a read error or a
/// sink that returns false.
template <typename Sink>
inline bool ReadToEnd(int fd, Sink sink) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    if (!sink(std::string_view(buffer, static_cast<std::size_t>(got)))) return false;
  }
}

/// Opens name in folder (AT_FDCWD: a path as open(2) takes it) for reading
/// only if it is a regular file, filling status; flags adds to the open's
/// (O_NOFOLLOW: a link at name is refused). The open does not block (a FIFO
/// would otherwise wait for a writer for ever); the descriptor blocks again
/// once it is known to be a file. Invalid (error set; EISDIR or EINVAL for
/// another kind of file) otherwise.
inline FileDescriptor OpenRegularFileAt(int folder, const std::string& name, int flags,
                                        struct stat& status, SystemError& error) {
  int fd;
  do fd = ::openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | flags);
  while (fd < 0 && errno == EINTR);
  FileDescriptor file(fd);
  if (!file.IsValid() || ::fstat(file.Get(), &status) != 0) {
    error = LastSystemError();
    return {};
  }
  if (!S_ISREG(status.st_mode)) {
    error = SystemError{static_cast<unsigned long>(S_ISDIR(status.st_mode) ? EISDIR : EINVAL)};
    return {};
  }
  const int blocking = ::fcntl(file.Get(), F_GETFL);
  if (blocking < 0 || ::fcntl(file.Get(), F_SETFL, blocking & ~O_NONBLOCK) != 0) {
    error = LastSystemError();
    return {};
  }
  return file;
}

/// Reads the open regular file of the given size whole into bytes, to the
/// end rather than trusting the size: the file may grow, but never past
/// max_bytes. EFBIG past it, the read's own error otherwise; bytes are then
/// emptied.
inline SystemError ReadWholeOpenFile(int fd, std::uintmax_t size, std::string& bytes,
                                     std::size_t max_bytes) {
  bytes.clear();
  if (size > max_bytes) return SystemError{EFBIG};
  // One allocation for a file that does not grow meanwhile; a size the
  // memory cannot hold is the read's failure, not an exception.
  try {
    bytes.reserve(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return SystemError{ENOMEM};
  }
  bool tooLarge = false;
  const bool read = ReadToEnd(fd, [&](std::string_view chunk) {
    tooLarge = bytes.size() + chunk.size() > max_bytes;
    if (!tooLarge) bytes.append(chunk);
    return !tooLarge;
  });
  if (read) return {};
  const SystemError error = tooLarge ? SystemError{EFBIG} : LastSystemError();
  bytes.clear();
  return error;
}

}  // namespace kalinor::platform
