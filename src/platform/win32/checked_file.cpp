#include "platform/checked_file.h"

#include <windows.h>

#include "platform/text.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

DWORD AccessOf(CheckedFileUse use) {
  switch (use) {
    case CheckedFileUse::kAppend:
      // Append-only: every write lands at the end in one piece, also beside
      // another run's writes.
      return FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    case CheckedFileUse::kLock:
      return GENERIC_READ | GENERIC_WRITE;
    case CheckedFileUse::kExistingLock:
      break;
  }
  return GENERIC_READ;
}

HANDLE Open(const std::wstring& path, CheckedFileUse use, DWORD disposition) {
  // FILE_FLAG_OPEN_REPARSE_POINT: a symbolic link or junction at the path is
  // opened itself, never followed, and then refused below.
  return CreateFileW(path.c_str(), AccessOf(use),
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Why what file refers to may not be used; "" when it may.
std::wstring RefusalOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info))
    return DescribeSystemError(LastSystemError());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return L"a link";
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      GetFileType(file) != FILE_TYPE_DISK)
    return L"not a regular file";
  if (info.nNumberOfLinks != 1)
    return FormatText(L"%lu links", static_cast<unsigned long>(info.nNumberOfLinks));
  return {};
}

}  // namespace

NativeFileTraits::Handle NativeFileTraits::Invalid() noexcept {
  return reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);
}

bool NativeFileTraits::IsValid(Handle handle) noexcept {
  return KernelHandleTraits::IsValid(AsHandle(handle));
}

bool NativeFileTraits::Close(Handle handle) noexcept {
  return CloseHandle(AsHandle(handle)) != FALSE;
}

CheckedFile OpenCheckedFile(const std::wstring& path, CheckedFileUse use) {
  CheckedFile result;
  if (path.empty() || path.find(L'\0') != std::wstring::npos) {
    result.Refusal = L"not a usable path";
    return result;
  }
  HANDLE file = INVALID_HANDLE_VALUE;
  if (use != CheckedFileUse::kExistingLock) {
    file = Open(path, use, CREATE_NEW);
    const DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS &&
        error != ERROR_ALREADY_EXISTS) {
      result.Refusal = DescribeSystemError(SystemError{error});
      return result;
    }
    result.Created = file != INVALID_HANDLE_VALUE;
  }
  if (file == INVALID_HANDLE_VALUE) file = Open(path, use, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (use == CheckedFileUse::kExistingLock &&
        (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) {
      result.Missing = true;
    } else {
      result.Refusal = DescribeSystemError(SystemError{error});
    }
    return result;
  }
  result.File.Reset(reinterpret_cast<std::intptr_t>(file));
  result.Refusal = RefusalOf(file);
  if (!result.Refusal.empty()) {
    result.File.Reset();
    result.Created = false;
  }
  return result;
}

SystemError AppendToCheckedFile(std::intptr_t file, std::string_view bytes) {
  DWORD written = 0;
  if (!WriteFile(AsHandle(file), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    return LastSystemError();
  if (written != bytes.size()) return SystemError{ERROR_WRITE_FAULT};
  return {};
}

}  // namespace kalinor::platform
