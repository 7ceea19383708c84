// The program: the system's arguments and MAPI, and the settings subsystem's
// two cleanup steps (over one plan), handed to the run sequence with the facts
// of the run, gathered once; the run log, when asked for, sees the whole run,
// unless the run stops at once under a service account: then no log file is
// opened or created at all.
#include <optional>

#include "frontend/exit_codes.h"
#include "frontend/run_log.h"
#include "frontend/run_sequence.h"
#include "platform/command_line.h"
#include "platform/mapi.h"
#include "settings/settings_cleanup.h"

int main(int argc, char** argv) {
  const std::vector<std::wstring> args = kalinor::platform::CommandLineArguments(argc, argv);
  const kalinor::RunContext context{kalinor::ExitCodeModeFromEnvironment(),
                                    kalinor::GatherRunFacts()};
  std::optional<kalinor::RunLog> log;
  if (!kalinor::RunStopsUnderServiceAccount(context)) log.emplace(args, context.Facts);
  kalinor::UninstallCleanupSteps steps;
  const kalinor::UninstallCleanup cleanup{[&] { return steps.ClearStoreSettings(); },
                                          [&] { return steps.ClearArchiveUrl(); }};
  const int exitCode = kalinor::RunKalinor(args, kalinor::platform::SystemMapi(), cleanup, context);
  if (log) log->Finish(exitCode);
  return exitCode;
}
