// The POSIX environment holds bytes; names and values cross it as UTF-8.
#include "platform/environment.h"

#include <cstdlib>

#include "platform/text.h"

namespace kalinor::platform {

std::optional<std::wstring> LookUpEnvironmentVariable(const std::wstring& name) {
  const char* value = std::getenv(ToUtf8(name).c_str());
  if (value == nullptr) return std::nullopt;
  return FromUtf8(value);
}

bool SetEnvironmentVariableText(const std::wstring& name, const std::wstring& value) {
  return ::setenv(ToUtf8(name).c_str(), ToUtf8(value).c_str(), 1) == 0;
}

bool RemoveEnvironmentVariable(const std::wstring& name) {
  return ::unsetenv(ToUtf8(name).c_str()) == 0;
}

}  // namespace kalinor::platform
