// The Windows environment is UTF-16 already.
#include "platform/environment.h"

#include <windows.h>

namespace kalinor::platform {

std::optional<std::wstring> LookUpEnvironmentVariable(const std::wstring& name) {
  // The size can change between the two calls when another thread sets the
  // variable, so ask again until the buffer was big enough.
  std::wstring value;
  DWORD needed = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  while (needed != 0) {
    value.resize(needed);
    const DWORD written = ::GetEnvironmentVariableW(name.c_str(), value.data(), needed);
    if (written < needed) {
      value.resize(written);
      return value;
    }
    needed = written;
  }
  if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
  return std::wstring();
}

bool SetEnvironmentVariableText(const std::wstring& name, const std::wstring& value) {
  return ::SetEnvironmentVariableW(name.c_str(), value.c_str()) != FALSE;
}

bool RemoveEnvironmentVariable(const std::wstring& name) {
  if (::SetEnvironmentVariableW(name.c_str(), nullptr) != FALSE) return true;
  return ::GetLastError() == ERROR_ENVVAR_NOT_FOUND;
}

}  // namespace kalinor::platform
