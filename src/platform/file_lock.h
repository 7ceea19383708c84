// An exclusive lock between processes (and between threads that open the
// lock file separately), held on a lock file beside the data it guards.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kalinor::platform {

/// Holds an exclusive lock on a lock file while it lives. The lock file is
/// created when missing and left in place afterwards: deleting it would let
/// two holders lock two different files.
class ExclusiveFileLock {
 public:
  /// Opens or creates the file at path and waits at most `timeout` until this
  /// object holds the exclusive lock. IsLocked() is false when the file could
  /// not be opened or locked (its folder must exist), and TimedOut() tells
  /// that another holder kept it for the whole wait.
  ExclusiveFileLock(const std::wstring& path, std::chrono::milliseconds timeout);

  /// Releases the lock and closes the file.
  ~ExclusiveFileLock();

  ExclusiveFileLock(const ExclusiveFileLock&) = delete;
  ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

  /// True while the lock is held.
  bool IsLocked() const { return m_locked; }

  /// True when the wait ended because the lock stayed taken.
  bool TimedOut() const { return m_timed_out; }

 private:
  enum class Attempt { kLocked, kTaken, kFailed };

  // Per platform: opens or creates the lock file (false when it cannot),
  // tries once to lock it without waiting, and unlocks and closes it.
  bool Open(const std::wstring& path);
  Attempt TryLock();
  void UnlockAndClose();

  std::intptr_t m_handle = -1;  // a file descriptor or a HANDLE, by platform
  bool m_locked = false;
  bool m_timed_out = false;
};

}  // namespace kalinor::platform
