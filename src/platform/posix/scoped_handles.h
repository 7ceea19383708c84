// The POSIX handle kinds, as ScopedHandle owners.
#pragma once

#include <unistd.h>

#include "platform/scoped_handle.h"

namespace kalinor::platform {

/// A file descriptor: -1 is empty; closing is close(2).
struct FileDescriptorTraits {
  using Handle = int;
  static Handle Invalid() noexcept { return -1; }
  static bool IsValid(Handle fd) noexcept { return fd >= 0; }
  static bool Close(Handle fd) noexcept { return ::close(fd) == 0; }
};

/// An owned file descriptor.
using FileDescriptor = ScopedHandle<FileDescriptorTraits>;

}  // namespace kalinor::platform
