// LockFileEx locks belong to the file handle, so two handles opened on the
// lock file exclude each other, within one process as across processes.
#include "platform/file_lock.h"

#include <windows.h>

namespace kalinor::platform {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

ExclusiveFileLock::ExclusiveFileLock(const std::wstring& path)
    : m_handle(reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE)) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  m_handle = reinterpret_cast<std::intptr_t>(file);
  OVERLAPPED whole_file = {};
  m_locked =
      ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole_file) != FALSE;
}

ExclusiveFileLock::~ExclusiveFileLock() {
  const HANDLE file = AsHandle(m_handle);
  if (file == INVALID_HANDLE_VALUE) return;
  if (m_locked) {
    OVERLAPPED whole_file = {};
    ::UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole_file);
  }
  ::CloseHandle(file);
}

}  // namespace kalinor::platform
