// The Windows handle kinds, as ScopedHandle owners.
#pragma once

#include <windows.h>

#include "platform/scoped_handle.h"

namespace kalinor::platform {

/// A kernel object HANDLE (a file): null and INVALID_HANDLE_VALUE are empty;
/// closing is CloseHandle.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle handle) noexcept {
    return handle != INVALID_HANDLE_VALUE && handle != nullptr;
  }
  static bool Close(Handle handle) noexcept { return CloseHandle(handle) != FALSE; }
};

/// An owned file (or other kernel object) HANDLE.
using FileHandle = ScopedHandle<KernelHandleTraits>;

/// RegCloseKey for a ScopedHandle; false when it failed.
inline bool CloseRegistryKey(HKEY key) noexcept { return RegCloseKey(key) == ERROR_SUCCESS; }

/// An owned open registry key: null is empty.
using RegistryKey = ScopedHandle<NullIsEmptyTraits<HKEY, &CloseRegistryKey>>;

}  // namespace kalinor::platform
