// Whole writes on an open handle: the step files.cpp and held_folder.cpp share.
#pragma once

#include <windows.h>

#include <string_view>

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

}  // namespace kalinor::platform
