// The program: the system's arguments and MAPI, and the uninstall's cleanup
// (one plan over the connector's folders), handed to the run sequence with the facts
// of the run, gathered once; the run log, when asked for, sees the whole run,
// unless the run stops at once under a service account: then no log file is
// opened or created at all.
#include <optional>

#include "frontend/command_line.h"
#include "frontend/exit_codes.h"
#include "frontend/per_user_step.h"
#include "frontend/run_log.h"
#include "frontend/run_sequence.h"
#include "platform/com_apartment.h"
#include "platform/command_line.h"
#include "platform/console.h"
#include "platform/mapi.h"
#include "platform/process_info.h"
#include "platform/text.h"
#include "cleanup/uninstall_cleanup.h"

int main(int argc, char** argv) {
  // Before anything is opened or loaded: where the system can, it then
  // refuses the junctions a user planted, below the tool's own checks, and
  // loads no DLL from the folder the tool was started in.
  kalinor::platform::EnableRedirectionGuard();
  kalinor::platform::RemoveCurrentFolderFromDllSearch();
  const std::vector<std::wstring> args = kalinor::platform::CommandLineArguments(argc, argv);
  // A package's per-user step says what happened in detail, in its own log.
  const bool perUser =
      kalinor::CheckCommandLine(args).Request == kalinor::CommandLineRequest::kRun &&
      kalinor::ParseArguments(args).PerUser;
  if (perUser) kalinor::UsePerUserLogUnlessSet();
  const kalinor::RunContext context{
      perUser ? kalinor::ExitCodeMode::kDetailed : kalinor::ExitCodeModeFromEnvironment(),
      kalinor::GatherRunFacts()};
  // A mode that is no mode is said once, where a setup program's capture sees it.
  if (const std::wstring unknown = kalinor::UnknownExitCodeModeValue(); !unknown.empty())
    kalinor::platform::WriteStandardError(
        L"KALINOR_EXIT_CODES=\"" + kalinor::platform::EscapeLineText(unknown) +
        L"\" is no mode (\"detailed\" is): the classic exit codes are used.\n");
  std::optional<kalinor::RunLog> log;
  if (!kalinor::RunStopsUnderServiceAccount(context))
    log.emplace(args, context.Facts, context.Mode);
  // The cleanup's XML documents are COM objects made while MAPI holds COM
  // open, and are let go only when cleanup is: MAPI's end may be the
  // thread's last CoUninitialize, and a Release after it calls into a
  // torn-down apartment (on Windows the DOM's DLL may be unloaded by then).
  // Entered before cleanup, so it is left after it.
  const kalinor::platform::ComApartment com;
  kalinor::PlannedUninstallCleanup cleanup;
  const int exitCode = kalinor::RunKalinor(args, kalinor::platform::SystemMapi(), cleanup, context);
  if (log) log->Finish(exitCode);
  return exitCode;
}
