// File operations over the Win32 calls whose behaviour the callers are
// written against: MoveFileW never replaces and crosses volumes by copy and
// delete, CopyFileW can refuse an existing destination, DeleteFileW removes
// files only. Also the OS steps of the atomic write (files_os.h): a new file
// written and flushed, then moved over the old one with MoveFileExW.
#include <windows.h>
#include <shlwapi.h>

#include <cstdint>

#include "platform/files.h"
#include "platform/files_os.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {

extern const wchar_t kPathSeparator = L'\\';

namespace {

using os::IsUsablePath;

// WriteFile takes at most a DWORD per call.
bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

namespace os {

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

NewFileResult WriteNewFile(const std::wstring& path, const std::wstring& /*like*/,
                           std::string_view bytes) {
  if (!IsUsablePath(path)) return NewFileResult::kFailed;
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFileResult::kNameTaken
                                                                       : NewFileResult::kFailed;
  }
  bool written = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
  written = file.Close() && written;
  if (written) return NewFileResult::kWritten;
  DeleteFileW(path.c_str());
  return NewFileResult::kFailed;
}

bool FlushFileAt(const std::wstring& path) {
  if (!IsUsablePath(path)) return false;
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.IsValid() && FlushFileBuffers(file.Get()) && file.Close();
}

bool RenameOver(const std::wstring& from, const std::wstring& to) {
  return IsUsablePath(from) && IsUsablePath(to) &&
         MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace os

bool IsAbsolutePath(const std::wstring& path) {
  // \\server\share: a server name must follow the two separators.
  if (path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]))
    return !IsSeparator(path[2]);
  return path.size() >= 3 &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
         path[1] == L':' && IsSeparator(path[2]);
}

bool PathExists(const std::wstring& path) {
  return IsUsablePath(path) && PathFileExistsW(path.c_str()) != FALSE;
}

bool CreateFolder(const std::wstring& path, FolderAccess /*access*/) {
  // Folders under the user's profile are the user's alone already.
  return IsUsablePath(path) && CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to, bool fail_if_exists) {
  return IsUsablePath(from) && IsUsablePath(to) &&
         CopyFileW(from.c_str(), to.c_str(), fail_if_exists ? TRUE : FALSE) != FALSE;
}

bool MoveFileTo(const std::wstring& from, const std::wstring& to) {
  return IsUsablePath(from) && IsUsablePath(to) && MoveFileW(from.c_str(), to.c_str()) != FALSE;
}

bool DeleteFileAt(const std::wstring& path) {
  return IsUsablePath(path) && DeleteFileW(path.c_str()) != FALSE;
}

bool QueryFileStatus(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return IsUsablePath(path) &&
         GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != FALSE;
}

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  bytes.clear();
  if (!IsUsablePath(path)) return false;
  // Others may go on reading, writing or renaming it: the settings files are
  // the connector's too.
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > bytes.max_size())
    return false;
  try {
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  } catch (...) {
    return false;
  }
  // Read to the end rather than trusting the size: the file may grow.
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) {
      bytes.clear();
      return false;
    }
    if (got == 0) return true;
    bytes.append(buffer, got);
  }
}

}  // namespace kalinor::platform
