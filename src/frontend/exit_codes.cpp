#include "frontend/exit_codes.h"

#include "platform/environment.h"
#include "platform/text.h"

namespace kalinor {
namespace {

// How much an outcome tells: the higher, the more it counts.
int Weight(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kDone:
      return 0;
    case RunOutcome::kCleanupIncomplete:
      return 1;
    case RunOutcome::kServiceFailed:
      return 2;
    case RunOutcome::kNoServiceAdmin:
      return 3;
    case RunOutcome::kFailed:
    case RunOutcome::kServiceAccount:
      break;
  }
  return 4;
}

}  // namespace

ExitCodeMode ExitCodeModeFromEnvironment() {
  const std::wstring mode = platform::GetEnvironmentVariableText(L"KALINOR_EXIT_CODES");
  return platform::AsciiLower(mode) == L"detailed" ? ExitCodeMode::kDetailed
                                                   : ExitCodeMode::kClassic;
}

std::wstring UnknownExitCodeModeValue() {
  const std::wstring value = platform::GetEnvironmentVariableText(L"KALINOR_EXIT_CODES");
  const std::wstring lowered = platform::AsciiLower(value);
  return lowered.empty() || lowered == L"detailed" || lowered == L"classic" ? std::wstring()
                                                                            : value;
}

std::wstring ExitCodeModeLine(ExitCodeMode mode) {
  if (mode == ExitCodeMode::kDetailed) return L"exit codes: detailed";
  const std::wstring unknown = UnknownExitCodeModeValue();
  if (!unknown.empty())
    return L"exit codes: classic; KALINOR_EXIT_CODES=\"" + platform::EscapeLineText(unknown) +
           L"\" is no mode (\"detailed\" is)";
  return L"exit codes: classic (KALINOR_EXIT_CODES=detailed gives the detailed ones)";
}

RunOutcome WorseOutcome(RunOutcome a, RunOutcome b) { return Weight(b) > Weight(a) ? b : a; }

int ExitCodeFor(RunOutcome outcome, ExitCodeMode mode) {
  if (mode == ExitCodeMode::kDetailed) return static_cast<int>(outcome);
  return outcome == RunOutcome::kFailed ? 1 : 0;
}

}  // namespace kalinor
