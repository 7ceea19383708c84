#include "platform/checked_file.h"

#include <windows.h>

#include "platform/text.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

NativeFileTraits::Handle NativeFileTraits::Invalid() noexcept {
  return reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);
}

bool NativeFileTraits::IsValid(Handle handle) noexcept {
  return KernelHandleTraits::IsValid(AsHandle(handle));
}

bool NativeFileTraits::Close(Handle handle) noexcept {
  return CloseHandle(AsHandle(handle)) != FALSE;
}

SystemError AppendToCheckedFile(std::intptr_t file, std::string_view bytes) {
  DWORD written = 0;
  if (!WriteFile(AsHandle(file), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    return LastSystemError();
  if (written != bytes.size()) return SystemError{ERROR_WRITE_FAULT};
  return {};
}

}  // namespace kalinor::platform
