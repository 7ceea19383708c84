// LockFileEx locks belong to the file handle, so two handles opened on the
// lock file exclude each other, within one process as across processes.
#include "platform/file_lock.h"

#include <windows.h>

#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

LockedFileTraits::Handle LockedFileTraits::Invalid() noexcept {
  return reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);
}

bool LockedFileTraits::IsValid(Handle handle) noexcept {
  return KernelHandleTraits::IsValid(AsHandle(handle));
}

bool LockedFileTraits::Close(Handle handle) noexcept {
  OVERLAPPED whole_file = {};
  // Fails harmlessly on a file that was never locked.
  ::UnlockFileEx(AsHandle(handle), 0, MAXDWORD, MAXDWORD, &whole_file);
  return ::CloseHandle(AsHandle(handle)) != FALSE;
}

ExclusiveFileLock::Attempt ExclusiveFileLock::TryLock(LockedFileTraits::Handle file) {
  OVERLAPPED whole_file = {};
  if (::LockFileEx(AsHandle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                   MAXDWORD, &whole_file))
    return Attempt::kLocked;
  return ::GetLastError() == ERROR_LOCK_VIOLATION ? Attempt::kTaken : Attempt::kFailed;
}

}  // namespace kalinor::platform
