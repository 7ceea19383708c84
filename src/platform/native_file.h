// An open file or folder as the system names it, in one portable type: a
// file descriptor on POSIX, a HANDLE on Windows, both held as an integer.
#pragma once

#include <cstdint>

#include "platform/scoped_handle.h"

namespace kalinor::platform {

/// An open file's OS handle as an integer (a file descriptor or a HANDLE);
/// -1 (INVALID_HANDLE_VALUE) is empty.
struct NativeFileTraits {
  using Handle = std::intptr_t;
  static Handle Invalid() noexcept;
  static bool IsValid(Handle handle) noexcept;
  static bool Close(Handle handle) noexcept;
};

/// An owned open file or folder.
using NativeFile = ScopedHandle<NativeFileTraits>;

}  // namespace kalinor::platform
