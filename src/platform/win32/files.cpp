// File operations over the Win32 calls whose behaviour the callers are
// written against: DeleteFileW removes files only. Also the OS steps of
// files_os.h.
#include <windows.h>
#include <shlwapi.h>

#include <cstdint>
#include <vector>

#include "platform/files.h"
#include "platform/files_os.h"
#include "platform/win32/file_io.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {

extern const wchar_t kPathSeparator = L'\\';

namespace {

using os::IsUsablePath;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Succeeds when done is true, else the cause the failed call left.
SystemError ResultOf(bool done) { return done ? SystemError{} : LastSystemError(); }

}  // namespace

namespace os {

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool IsProcessGone(unsigned long process_id) {
  const FileHandle process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process_id)));
  // Access denied means the process runs but is not this user's.
  return !process.IsValid() && GetLastError() == ERROR_INVALID_PARAMETER;
}

std::optional<std::vector<std::wstring>> FolderEntryNames(const std::wstring& folder) {
  std::wstring pattern = folder;
  if (!pattern.empty() && !IsSeparator(pattern.back())) pattern += L'\\';
  pattern += L'*';
  if (!IsUsablePath(pattern)) return std::nullopt;
  WIN32_FIND_DATAW entry;
  // The standard level, not the basic one: it brings the short names.
  const HANDLE listing = FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &entry,
                                          FindExSearchNameMatch, nullptr, 0);
  if (listing == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<std::wstring> names;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    names.push_back(name);
    if (entry.cAlternateFileName[0] != L'\0') names.push_back(entry.cAlternateFileName);
  } while (FindNextFileW(listing, &entry));
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(listing);
  if (!complete) return std::nullopt;
  return names;
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

std::wstring AbsolutePathOf(const std::wstring& path) {
  std::vector<wchar_t> full(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return {};
    if (length < full.size()) return std::wstring(full.data(), length);
    full.resize(length);
  }
}

bool PathExists(const std::wstring& path) {
  return IsUsablePath(path) && PathFileExistsW(path.c_str()) != FALSE;
}

bool IsGone(const std::wstring& path) {
  if (!IsUsablePath(path) || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
    return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

SystemError CreateFolder(const std::wstring& path, FolderAccess /*access*/) {
  if (!IsUsablePath(path)) return UnusablePathError();
  // Folders under the user's profile are the user's alone already.
  return ResultOf(CreateDirectoryW(path.c_str(), nullptr) != FALSE);
}

SystemError DeleteFileAt(const std::wstring& path) {
  if (!IsUsablePath(path)) return UnusablePathError();
  return ResultOf(DeleteFileW(path.c_str()) != FALSE);
}

bool QueryFileStatus(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return IsUsablePath(path) &&
         GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != FALSE;
}

std::optional<FileStamp> QueryFileStamp(const std::wstring& path) {
  if (!IsUsablePath(path)) return std::nullopt;
  // No access asked for: the status can be read even while others hold the
  // file open; backup semantics lets a folder be opened too.
  FileHandle file(CreateFileW(path.c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  const auto join = [](DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
  };
  FileStamp stamp;
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.file = join(info.nFileIndexHigh, info.nFileIndexLow);
  stamp.size = join(info.nFileSizeHigh, info.nFileSizeLow);
  stamp.modified = join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
  stamp.changed = join(info.ftCreationTime.dwHighDateTime, info.ftCreationTime.dwLowDateTime);
  return stamp;
}

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

SystemError ReadWholeFile(const std::wstring& path, std::string& bytes, std::size_t max_bytes) {
  bytes.clear();
  if (!IsUsablePath(path)) return UnusablePathError();
  // Others may go on reading, writing or renaming it: the settings files are
  // the connector's too.
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return LastSystemError();
  if (GetFileType(file.Get()) != FILE_TYPE_DISK) return SystemError{ERROR_INVALID_FUNCTION};
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size)) return LastSystemError();
  if (size.QuadPart < 0) return SystemError{ERROR_FILE_TOO_LARGE};
  return ReadWholeOpenFile(file.Get(), static_cast<std::uint64_t>(size.QuadPart), bytes, max_bytes);
}

}  // namespace kalinor::platform
