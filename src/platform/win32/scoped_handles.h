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

/// An open registry key: null is empty; closing is RegCloseKey.
struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle key) noexcept { return key != nullptr; }
  static bool Close(Handle key) noexcept { return RegCloseKey(key) == ERROR_SUCCESS; }
};

/// An owned open registry key.
using RegistryKey = ScopedHandle<RegistryKeyTraits>;

}  // namespace kalinor::platform
