#include "platform/command_line.h"

#include "platform/text.h"

namespace kalinor::platform {

std::vector<std::wstring> CommandLineArguments(int argc, char** argv) {
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.push_back(FromUtf8(argv[i]));
  return args;
}

}  // namespace kalinor::platform
