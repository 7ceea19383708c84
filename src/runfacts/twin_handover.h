// The hand-over to the twin build: a 64-bit program cannot load a 32-bit
// mail client's MAPI (nor the other way round), so a run beside a client of
// the other bitness is run again by this program's build for that bitness,
// where the package puts it, with the same arguments and environment.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/system_error.h"
#include "runfacts/run_facts.h"

namespace kalinor {

/// Set by the build that hands over, for its twin, which never hands back.
inline constexpr wchar_t kHandedOverVariable[] = L"KALINOR_HANDED_OVER";

/// What a run does about the mail client's bitness.
enum class TwinNeed {
  kNone,     ///< this build loads the client's MAPI, the bitness is unknown, or this run was handed
             ///< over
  kRun,      ///< the client is the twin's bitness and the twin is there
  kMissing,  ///< the client is the twin's bitness and no twin is there
  kRefused,  ///< the twin is there, but another account could have put it there (privileged run)
};

struct TwinHandOver {
  TwinNeed Need = TwinNeed::kNone;
  std::wstring Bitness;  ///< the twin's ("x86", "x64"); "" for kNone
  std::wstring Path;     ///< where the twin is, or would be; "" for kNone
};

/// Decides from the facts and the files beside this program. Reads only.
TwinHandOver DecideTwinHandOver(const RunFacts& facts);

/// Runs the twin of decision (kRun) in this program's place with args,
/// marked as handed over, and returns its exit code; nullopt, with error
/// set, when it could not be started.
std::optional<int> RunTwin(const TwinHandOver& decision, const std::vector<std::wstring>& args,
                           platform::SystemError& error);

/// What to do when the twin is missing or refused: one sentence that names
/// the build to install and where it goes.
std::wstring MissingTwinAdvice(const TwinHandOver& decision, const RunFacts& facts);

}  // namespace kalinor
