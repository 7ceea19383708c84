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

/// Whether taking the lock may create its file.
enum class LockFileUse {
  kCreateWhenMissing,  // a writer: opened for reading and writing, created when missing
  kExistingOnly,       // a reader: opened read-only, never created
};

/// Holds an exclusive lock on a lock file while it lives. The lock file is
/// created when missing (kCreateWhenMissing) and left in place afterwards:
/// deleting it would let two holders lock two different files. It is opened
/// as platform/checked_file.h opens a file: no link followed, and refused
/// unless a regular file with one link (POSIX: the running account's own, or
/// created by this open), so a link planted at its path is never followed.
class ExclusiveFileLock {
 public:
  /// Opens (or creates, as use allows) the file at path and waits at most
  /// `timeout` until this object holds the exclusive lock. IsLocked() is
  /// false when the file was missing (Missing()), refused (Refusal() says
  /// why) or could not be locked (its folder must exist); the file is then
  /// closed again, and TimedOut() tells that another holder kept it for the
  /// whole wait.
  ExclusiveFileLock(const std::wstring& path, std::chrono::milliseconds timeout,
                    LockFileUse use = LockFileUse::kCreateWhenMissing);

  /// True while the lock is held.
  bool IsLocked() const { return m_file.IsValid(); }

  /// True when the wait ended because the lock stayed taken.
  bool TimedOut() const { return m_timed_out; }

  /// kExistingOnly: true when there was no lock file to open.
  bool Missing() const { return m_missing; }

  /// Why the lock file was refused or could not be opened; "" otherwise.
  const std::wstring& Refusal() const { return m_refusal; }

 private:
  enum class Attempt { kLocked, kTaken, kFailed };

  // Per platform: tries once to lock the open file, without waiting.
  static Attempt TryLock(LockedFileTraits::Handle file);

  ScopedHandle<LockedFileTraits> m_file;  // released: unlocked and closed
  bool m_timed_out = false;
  bool m_missing = false;
  std::wstring m_refusal;
};

}  // namespace kalinor::platform
