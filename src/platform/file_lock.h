// An exclusive lock between processes (and between threads that open the
// lock file separately), held on a lock file beside the data it guards.
#pragma once

#include <chrono>
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
  /// Opens or creates the file at path and waits at most `timeout` until this
  /// object holds the exclusive lock. IsLocked() is false when the file could
  /// not be opened or locked (its folder must exist); the file is then closed
  /// again, and TimedOut() tells that another holder kept it for the whole wait.
  ExclusiveFileLock(const std::wstring& path, std::chrono::milliseconds timeout);

  /// True while the lock is held.
  bool IsLocked() const { return m_file.IsValid(); }

  /// True when the wait ended because the lock stayed taken.
  bool TimedOut() const { return m_timed_out; }

 private:
  enum class Attempt { kLocked, kTaken, kFailed };

  // Per platform: opens or creates the lock file without waiting for anything
  // (the invalid value when it cannot), and tries once to lock it.
  static LockedFileTraits::Handle OpenLockFile(const std::wstring& path);
  static Attempt TryLock(LockedFileTraits::Handle file);

  ScopedHandle<LockedFileTraits> m_file;  // released: unlocked and closed
  bool m_timed_out = false;
};

}  // namespace kalinor::platform
