#include <windows.h>
#include <shellapi.h>

#include "platform/command_line.h"

namespace kalinor::platform {

std::vector<std::wstring> CommandLineArguments(int, char**) {
  std::vector<std::wstring> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return args;
  for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
  return args;
}

}  // namespace kalinor::platform
