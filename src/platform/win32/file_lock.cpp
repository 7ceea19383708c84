// LockFileEx locks belong to the file handle, so two handles opened on the
// lock file exclude each other, within one process as across processes.
#include "platform/file_lock.h"

#include <windows.h>

namespace kalinor::platform {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

bool ExclusiveFileLock::Open(const std::wstring& path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  m_handle = reinterpret_cast<std::intptr_t>(file);
  return true;
}

ExclusiveFileLock::Attempt ExclusiveFileLock::TryLock() {
  OVERLAPPED whole_file = {};
  if (::LockFileEx(AsHandle(m_handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                   MAXDWORD, MAXDWORD, &whole_file))
    return Attempt::kLocked;
  return ::GetLastError() == ERROR_LOCK_VIOLATION ? Attempt::kTaken : Attempt::kFailed;
}

void ExclusiveFileLock::UnlockAndClose() {
  if (m_handle == -1) return;
  const HANDLE file = AsHandle(m_handle);
  if (m_locked) {
    OVERLAPPED whole_file = {};
    ::UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole_file);
  }
  ::CloseHandle(file);
}

}  // namespace kalinor::platform
