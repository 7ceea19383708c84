// LockFileEx locks belong to the file handle, so two handles opened on the
// lock file exclude each other, within one process as across processes.
#include "platform/file_lock.h"

#include <windows.h>

#include "platform/files_os.h"
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
  ::UnlockFileEx(AsHandle(handle), 0, MAXDWORD, MAXDWORD, &whole_file);
  return ::CloseHandle(AsHandle(handle)) != FALSE;
}

ExclusiveFileLock::ExclusiveFileLock(const std::wstring& path) {
  if (!os::IsUsablePath(path)) return;
  FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return;
  OVERLAPPED whole_file = {};
  if (::LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole_file))
    m_file.Reset(reinterpret_cast<std::intptr_t>(file.Detach()));
}

}  // namespace kalinor::platform
