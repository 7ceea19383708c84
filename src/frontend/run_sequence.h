// The program's only entry: from the argument vector to the exit code.
#pragma once

#include <string>
#include <vector>

#include "cleanup/uninstall_cleanup.h"
#include "frontend/exit_codes.h"
#include "platform/mapi.h"
#include "runfacts/run_facts.h"

namespace kalinor {

/// What a run is told about where it runs: the exit-code mode and the facts
/// its program gathered once (tests pass their own).
struct RunContext {
  ExitCodeMode Mode = ExitCodeMode::kClassic;
  RunFacts Facts;
};

/// True when a run in context stops before MAPI because it is under a
/// service account (detailed mode): such a run changes nothing, and its
/// program opens no run log for it.
bool RunStopsUnderServiceAccount(const RunContext& context);

/// Runs the tool: usage, or install / uninstall through the given MAPI and
/// cleanup. Under a service account (facts) a detailed run does nothing but
/// say why on the debugger channel and returns 5; a classic one goes on and
/// warns in the run log only. When MAPI does not start, the run log (only)
/// names the likely cause the facts show. A failure raised in one step is reported on the debugger
/// channel with a line beginning "Error" and ends that step only: an uninstall's cleanup steps
/// still run. Returns the exit code: in classic mode 0, or 1 when no service name was given, MAPI
/// could not be started, or a step failed that way; in detailed mode the RunOutcome's value (usage:
/// 0).
int RunKalinor(const std::vector<std::wstring>& args, const platform::MapiEntryPoints& mapi,
               UninstallCleanup& cleanup, const RunContext& context = {});

}  // namespace kalinor
