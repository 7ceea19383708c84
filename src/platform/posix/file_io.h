// Whole reads and writes on an open descriptor, retried on EINTR: the
// steps files.cpp and held_folder.cpp share.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>

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

}  // namespace kalinor::platform
