// The portable part of the environment service.
#include "platform/environment.h"

#include "platform/files.h"

namespace kalinor::platform {

std::wstring GetEnvironmentVariableText(const std::wstring& name) {
  return LookUpEnvironmentVariable(name).value_or(std::wstring());
}

std::wstring XdgBaseFolder(const std::wstring& variable, const std::wstring& below_home) {
  std::wstring folder = GetEnvironmentVariableText(variable);
  if (IsAbsolutePath(folder)) return folder;
  const std::wstring home = GetEnvironmentVariableText(L"HOME");
  if (!IsAbsolutePath(home)) return std::wstring();
  return home + kPathSeparator + below_home;
}

}  // namespace kalinor::platform
