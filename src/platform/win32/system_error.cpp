// System errors over GetLastError and FormatMessageW.
#include "platform/system_error.h"

#include <windows.h>

#include <cwchar>

#include "platform/system_error_os.h"

namespace kalinor::platform {

SystemError LastSystemError() {
  const DWORD code = GetLastError();
  return SystemError{code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE};
}

SystemError UnusablePathError() { return SystemError{ERROR_INVALID_NAME}; }

SystemError SeveralNamesError() { return SystemError{ERROR_TOO_MANY_LINKS}; }

SystemError NotOpenError() { return SystemError{ERROR_INVALID_HANDLE}; }

namespace os {

std::span<const ErrorKindEntry> ErrorKindTable() {
  static constexpr ErrorKindEntry kTable[] = {
      {ERROR_FILE_NOT_FOUND, ErrorKind::kNotFound},
      {ERROR_PATH_NOT_FOUND, ErrorKind::kNotFound},

      {ERROR_FILE_EXISTS, ErrorKind::kExists},
      {ERROR_ALREADY_EXISTS, ErrorKind::kExists},
      {ERROR_DIRECTORY, ErrorKind::kIsFolder},
      {ERROR_CANT_RESOLVE_FILENAME, ErrorKind::kIsLink},
      {ERROR_CANT_ACCESS_FILE, ErrorKind::kIsLink},
      {ERROR_ACCESS_DENIED, ErrorKind::kDenied},
      {ERROR_WRITE_PROTECT, ErrorKind::kDenied},
      {ERROR_PRIVILEGE_NOT_HELD, ErrorKind::kDenied},
      {ERROR_SHARING_VIOLATION, ErrorKind::kBusy},
      {ERROR_LOCK_VIOLATION, ErrorKind::kBusy},
      {ERROR_USER_MAPPED_FILE, ErrorKind::kBusy},
      // Going away, unless whoever set it takes the delete back: waited out.
      {ERROR_DELETE_PENDING, ErrorKind::kBusy},
      {ERROR_FILE_TOO_LARGE, ErrorKind::kTooLarge},
      {ERROR_INVALID_FUNCTION, ErrorKind::kOther},
  };
  return kTable;
}

std::wstring SystemMessage(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 ? std::wstring(text, length) : L"Error";
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L'.' || message.back() == L' '))
    message.pop_back();
  return message;
}

std::wstring SystemNumberText(unsigned long code) {
  wchar_t text[16];
  swprintf(text, 16, L"%#X", static_cast<unsigned>(HRESULT_FROM_WIN32(code)));
  return text;
}

}  // namespace os

}  // namespace kalinor::platform
