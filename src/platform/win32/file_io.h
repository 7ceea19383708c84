// Whole reads and writes on an open handle: the steps files.cpp and
// held_folder_os.cpp share.
#pragma once

#include <windows.h>

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "platform/system_error.h"

namespace kalinor::platform {

/// Writes every byte (WriteFile takes at most a DWORD per call); false
/// (GetLastError set) on failure.
inline bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

/// Reads the open file of the given size whole into bytes, to the end rather
/// than trusting the size: the file may grow, but never past max_bytes.
/// ERROR_FILE_TOO_LARGE past it, the read's own error otherwise; bytes are
/// then emptied.
inline SystemError ReadWholeOpenFile(HANDLE file, std::uint64_t size, std::string& bytes,
                                     std::size_t max_bytes) {
  bytes.clear();
  if (size > max_bytes) return SystemError{ERROR_FILE_TOO_LARGE};
  // One allocation for a file that does not grow meanwhile; a size the
  // memory cannot hold is the read's failure, not an exception.
  try {
    bytes.reserve(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return SystemError{ERROR_NOT_ENOUGH_MEMORY};
  }
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      const SystemError error = LastSystemError();
      bytes.clear();
      return error;
    }
    if (got == 0) return {};
    if (bytes.size() + got > max_bytes) {
      bytes.clear();
      return SystemError{ERROR_FILE_TOO_LARGE};
    }
    bytes.append(buffer, got);
  }
}

}  // namespace kalinor::platform
