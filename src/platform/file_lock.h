// An exclusive lock between processes (and between threads that open the
// lock file separately), held on a lock file beside the data it guards.
#pragma once

#include <cstdint>
#include <string>

namespace kalinor::platform {

/// Holds an exclusive lock on a lock file while it lives. The lock file is
/// created when missing and left in place afterwards: deleting it would let
/// two holders lock two different files.
class ExclusiveFileLock {
 public:
  /// Opens or creates the file at path and waits until this object holds the
  /// exclusive lock. IsLocked() is false when the file could not be opened
  /// or locked (its folder must exist).
  explicit ExclusiveFileLock(const std::wstring& path);

  /// Releases the lock and closes the file.
  ~ExclusiveFileLock();

  ExclusiveFileLock(const ExclusiveFileLock&) = delete;
  ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

  /// True while the lock is held.
  bool IsLocked() const { return m_locked; }

 private:
  std::intptr_t m_handle;  // a file descriptor or a HANDLE, by platform
  bool m_locked = false;
};

}  // namespace kalinor::platform
