// Exit codes. By default a run that went through exits with 0, whatever its
// steps came to, because a setup program rolls a removal back on any other
// code; KALINOR_EXIT_CODES=detailed makes the code tell what happened.
#pragma once

#include <string>

namespace kalinor {

/// What a run came to. The values are the detailed exit codes.
enum class RunOutcome {
  kDone = 0,               // the requested state holds; the cleanup left nothing undone
  kFailed = 1,             // no service name, MAPI not started, or an unexpected failure
  kNoServiceAdmin = 2,     // the profile's service administration could not be opened
  kServiceFailed = 3,      // the service could not be created, configured or deleted
  kCleanupIncomplete = 4,  // uninstall: the cleanup left something undone
  kServiceAccount = 5,     // detailed mode only: under a service account, nothing was done
};

enum class ExitCodeMode {
  kClassic,   // 0, or 1 for kFailed
  kDetailed,  // the RunOutcome value
};

/// kDetailed when KALINOR_EXIT_CODES is "detailed" (in any case); else kClassic.
ExitCodeMode ExitCodeModeFromEnvironment();

/// The outcome that tells more: kFailed above all, then the earlier step's
/// failure (service administration, service, cleanup), then kDone.
RunOutcome WorseOutcome(RunOutcome a, RunOutcome b);

/// KALINOR_EXIT_CODES's value when it is set to something that is no mode
/// ("detailed", or "classic"), in any letter case; "" otherwise.
std::wstring UnknownExitCodeModeValue();

/// The run log's line for the mode in force: "exit codes: detailed", or
/// "exit codes: classic …" saying how to get the detailed ones, or that the
/// value given is no mode.
std::wstring ExitCodeModeLine(ExitCodeMode mode);

/// The exit code of an outcome in the given mode.
int ExitCodeFor(RunOutcome outcome, ExitCodeMode mode);

}  // namespace kalinor
