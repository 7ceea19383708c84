#include "runfacts/twin_handover.h"

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/twin_build.h"

namespace kalinor {

TwinHandOver DecideTwinHandOver(const RunFacts& facts) {
  TwinHandOver decision;
  const std::wstring twin = platform::TwinBuildName();
  if (ClientBitnessMatch(facts) != BitnessMatch::kDifferent || twin.empty() ||
      facts.Client.Bitness != twin || platform::LookUpEnvironmentVariable(kHandedOverVariable))
    return decision;
  decision.Bitness = twin;
  decision.Path = platform::TwinBuildPath();
  if (platform::QueryFileKind(decision.Path) != platform::FileKind::kRegularFile)
    decision.Need = TwinNeed::kMissing;
  else
    decision.Need = platform::TwinIsSafeToRun(decision.Path) ? TwinNeed::kRun : TwinNeed::kRefused;
  return decision;
}

std::optional<int> RunTwin(const TwinHandOver& decision, const std::vector<std::wstring>& args,
                           platform::SystemError& error) {
  if (!platform::SetEnvironmentVariableText(kHandedOverVariable, L"1")) {
    error = platform::LastSystemError();
    return std::nullopt;
  }
  return platform::RunInThisOnesPlace(decision.Path, args, error);
}

std::wstring MissingTwinAdvice(const TwinHandOver& decision, const RunFacts& facts) {
  if (decision.Need == TwinNeed::kRefused)
    return L"The mail client is " + decision.Bitness + L" and this build " + facts.ProcessBitness +
           L", which cannot load its MAPI; the " + decision.Bitness + L" build at " +
           decision.Path +
           L" is not run by a privileged run, since an account other than the system's could "
           L"have put it there or changed it: install the package in Program Files, or run the "
           L"tool as the user.";
  return L"The mail client is " + decision.Bitness + L" and this build " + facts.ProcessBitness +
         L", which cannot load its MAPI, and the " + decision.Bitness +
         L" build is not where the Kalinor package puts it (" + decision.Path +
         L"): install the package, which carries both builds, or put the " + decision.Bitness +
         L" build there.";
}

}  // namespace kalinor
