// The program: the system's arguments and MAPI, and the settings subsystem's
// two cleanup steps (over one plan), handed to the run sequence with the facts
// of the run, gathered once; the run log, when asked for, sees the whole run.
#include "frontend/exit_codes.h"
#include "frontend/run_log.h"
#include "frontend/run_sequence.h"
#include "platform/command_line.h"
#include "platform/mapi.h"
#include "platform/process_info.h"
#include "settings/settings_cleanup.h"

int main(int argc, char** argv) {
  // Before anything is opened: where the system can, it then refuses the
  // junctions a user planted, below the tool's own checks.
  kalinor::platform::EnableRedirectionGuard();
  const std::vector<std::wstring> args = kalinor::platform::CommandLineArguments(argc, argv);
  const kalinor::RunContext context{kalinor::ExitCodeModeFromEnvironment(),
                                    kalinor::GatherRunFacts()};
  kalinor::RunLog log(args, context.Facts);
  kalinor::UninstallCleanupSteps steps;
  const kalinor::UninstallCleanup cleanup{[&] { return steps.ClearStoreSettings(); },
                                          [&] { return steps.ClearArchiveUrl(); }};
  const int exitCode = kalinor::RunKalinor(args, kalinor::platform::SystemMapi(), cleanup, context);
  log.Finish(exitCode);
  return exitCode;
}
