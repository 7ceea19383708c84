// Per-user special folders from the shell, created when missing.
#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "platform/special_folders.h"

namespace kalinor::platform {

std::wstring GetSpecialFolderPath(int csidl, SpecialFolderCreation creation) {
  // 32,767 bytes: far more than MAX_PATH, so a long redirected folder fits.
  constexpr std::size_t kBufferBytes = 0x7FFF;
  constexpr std::size_t kBufferUnits = kBufferBytes / sizeof(wchar_t);
  const auto buffer = std::make_unique<wchar_t[]>(kBufferUnits + 1);
  if (!SHGetSpecialFolderPathW(nullptr, buffer.get(), csidl,
                               creation == SpecialFolderCreation::kCreate ? TRUE : FALSE))
    return std::wstring();
  buffer[kBufferUnits] = L'\0';
  return std::wstring(buffer.get());
}

}  // namespace kalinor::platform
