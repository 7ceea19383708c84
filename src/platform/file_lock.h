// An exclusive lock between processes (and between threads that open the
// lock file separately), held on a lock file beside the data it guards.
#pragma once

#include <cstdint>
#include <string>

#include "platform/scoped_handle.h"

namespace kalinor::platform {

/// A lock file held locked: the OS handle as an integer (a file descriptor
/// or a HANDLE); closing unlocks it and closes the file.
struct LockedFileTraits {
  using Handle = std::intptr_t;
  static Handle Invalid() noexcept;
  static bool IsValid(Handle handle) noexcept;
  static bool Close(Handle handle) noexcept;
};

/// Holds an exclusive lock on a lock file while it lives. The lock file is
/// created when missing and left in place afterwards: deleting it would let
/// two holders lock two different files.
class ExclusiveFileLock {
 public:
  /// Opens or creates the file at path and waits until this object holds the
  /// exclusive lock. IsLocked() is false when the file could not be opened
  /// or locked (its folder must exist); the file is then closed again.
  explicit ExclusiveFileLock(const std::wstring& path);

  /// True while the lock is held.
  bool IsLocked() const { return m_file.IsValid(); }

 private:
  ScopedHandle<LockedFileTraits> m_file;  // released: unlocked and closed
};

}  // namespace kalinor::platform
