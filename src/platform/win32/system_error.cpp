// System errors over GetLastError and FormatMessageW.
#include "platform/system_error.h"

#include <windows.h>

#include <cwchar>

namespace kalinor::platform {

SystemError LastSystemError() {
  const DWORD code = GetLastError();
  return SystemError{code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE};
}

SystemError UnusablePathError() { return SystemError{ERROR_INVALID_NAME}; }

SystemError NotOpenError() { return SystemError{ERROR_INVALID_HANDLE}; }

std::wstring DescribeSystemError(SystemError error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error.Code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 ? std::wstring(text, length) : L"Error";
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L'.' || message.back() == L' '))
    message.pop_back();
  wchar_t code[16];
  swprintf(code, 16, L"%#X", static_cast<unsigned>(HRESULT_FROM_WIN32(error.Code)));
  return message + L", " + code;
}

}  // namespace kalinor::platform
