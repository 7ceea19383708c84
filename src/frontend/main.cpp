#include "frontend/exit_codes.h"
#include "frontend/run_log.h"
#include "frontend/run_sequence.h"
#include "platform/command_line.h"
#include "platform/mapi.h"

int main(int argc, char** argv) {
  const std::vector<std::wstring> args = kalinor::platform::CommandLineArguments(argc, argv);
  kalinor::RunLog log(args);
  const int exitCode =
      kalinor::RunKalinor(args, kalinor::platform::SystemMapi(), kalinor::SettingsCleanup(),
                          kalinor::ExitCodeModeFromEnvironment());
  log.Finish(exitCode);
  return exitCode;
}
