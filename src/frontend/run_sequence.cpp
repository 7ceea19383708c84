#include "frontend/run_sequence.h"

#include <memory>
#include <new>
#include <optional>

#include "frontend/command_line.h"
#include "frontend/per_user_step.h"
#include "mapiadmin/mapi_session.h"
#include "mapiadmin/mapi_table.h"
#include "mapiadmin/message_services.h"
#include "mapiadmin/profile_selection.h"
#include "mapiadmin/service_admin_holder.h"
#include "platform/console.h"
#include "platform/text.h"
#include "report/debug_trace.h"
#include "report/log_sink.h"
#include "runfacts/twin_handover.h"

namespace kalinor {
namespace {

// The HRESULT an escaping exception stands for.
HRESULT HResultOf(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const CAtlException& e) {
    return e.m_hr;
  } catch (const _com_error& e) {
    return e.Error();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// Starts MAPI; null (reported) when it won't start.
std::unique_ptr<MapiSession> StartMapi(const platform::MapiEntryPoints& mapi) {
  try {
    auto session = std::make_unique<MapiSession>(mapi);
    if (session->IsStarted()) return session;
  } catch (...) {
  }
  return nullptr;
}

// A service table that could not be read goes to standard output, without
// a line break.
void PrintServiceTableFailure(const TableFailure& failure) {
  const wchar_t* format = L"Error getting service rows: %#X";
  if (failure.Step == TableStep::kOpen) format = L"Error getting services table: %#X";
  if (failure.Step == TableStep::kCount) format = L"Error getting the services count: %#X";
  platform::WriteStandardOutput(platform::FormatText(format, HResultBits(failure.Result)));
}

RunOutcome FromService(ServiceOutcome outcome) {
  return outcome == ServiceOutcome::kFailed ? RunOutcome::kServiceFailed : RunOutcome::kDone;
}

RunOutcome FromCleanup(bool complete) {
  return complete ? RunOutcome::kDone : RunOutcome::kCleanupIncomplete;
}

// A named profile that does not exist, said in words. The run does not read
// the profile table for a named profile: kalinor-query lists them.
void SayNoSuchProfile(const std::wstring& name) {
  const std::wstring words = L"There is no profile named \"" + name +
                             L"\": kalinor-query profiles lists the profiles there are.";
  WriteStampedLogLine(words, platform::LineSeverity::kError);
  if (!LogTargetIsStandardError())
    platform::WriteStandardError(platform::EscapeLineText(words) + L"\n");
}

// Runs one step of the run. A failure that escapes it is reported as one
// "Error <step>: 0X…" line and makes the run kFailed; the steps after it
// still run.
template <typename Step>
RunOutcome Guarded(const wchar_t* name, Step&& step) {
  try {
    return step();
  } catch (...) {
    const HRESULT failure = HResultOf(std::current_exception());
    try {
      DebugTraceError(L"Error %ls: %#X", name, HResultBits(failure));
    } catch (...) {
    }
    return RunOutcome::kFailed;
  }
}

// Install, or uninstall and clean up. The cleanup runs whatever the MAPI
// side came to, and its second step whatever the first came to.
RunOutcome RunAction(const RunSettings& settings, const platform::MapiEntryPoints& mapi,
                     UninstallCleanup& cleanup, ServiceAdminHolder& holder) {
  bool opened = false;
  RunOutcome outcome = Guarded(L"opening the service administration", [&] {
    const wchar_t* profile = settings.ProfileName.empty() ? nullptr : settings.ProfileName.c_str();
    HRESULT failure = S_OK;
    opened = OpenServiceAdmin(mapi, holder, profile, ProfilePurpose::kChange, &failure);
    // The channel keeps its code; the log and standard error say it in words.
    if (profile != nullptr && failure == MAPI_E_NOT_FOUND) SayNoSuchProfile(settings.ProfileName);
    return opened ? RunOutcome::kDone : RunOutcome::kNoServiceAdmin;
  });
  if (settings.InstallMode) {
    if (!opened) return outcome;
    return WorseOutcome(
        outcome, Guarded(L"installing the service", [&] {
          return FromService(InstallService(mapi, holder, settings.ServiceName,
                                            settings.DisplayName, PrintServiceTableFailure));
        }));
  }
  if (opened) {
    outcome = WorseOutcome(outcome, Guarded(L"uninstalling the service", [&] {
                             return FromService(UninstallService(mapi, holder, settings.ServiceName,
                                                                 PrintServiceTableFailure));
                           }));
  }
  outcome = WorseOutcome(outcome, Guarded(L"clearing the store settings", [&] {
                           return FromCleanup(cleanup.ClearStoreSettings());
                         }));
  return WorseOutcome(outcome, Guarded(L"clearing the archive server address",
                                       [&] { return FromCleanup(cleanup.ClearArchiveUrl()); }));
}

// MAPI changes only the profile of the account that runs it: under a service
// account that is the service account's own profile, never the user's.
// Detailed mode stops before anything is touched; classic mode keeps the
// old behaviour and leaves a warning in the log. True when the run stops.
bool StopsUnderServiceAccount(const RunContext& context) {
  if (!IsServiceAccount(context.Facts)) return false;
  const wchar_t* account = ServiceAccountName(context.Facts.ServiceAccount);
  if (RunStopsUnderServiceAccount(context)) {
    DebugTrace(
        L"Nothing changed: this run is under %ls, whose MAPI profile is not the user's. "
        L"Run kalinor in the user's context (Intune: install behavior \"User\"; an MSI "
        L"custom action with impersonation).",
        account);
    return true;
  }
  WriteStampedLogLine(std::wstring(L"Warning: this run is under ") + account +
                          L": it changes that account's own MAPI profile, not the user's.",
                      platform::LineSeverity::kWarning);
  return false;
}

// The log (not the debugger channel) names what the facts say stopped MAPI.
void LogLikelyMapiStartFailureCause(const RunFacts& facts) {
  const std::wstring cause = LikelyMapiStartFailureCause(facts);
  if (!cause.empty()) WriteStampedLogLine(L"Likely cause: " + cause);
}

// "descr:" is in the usage text but is no option: an argument that begins
// with it is a plain argument (the service name, when it is the last). The
// log says so, and how a display name is given.
void LogDescrArguments(const std::vector<std::wstring>& args) {
  for (const std::wstring& arg : args)
    if (platform::AsciiLower(arg).rfind(L"descr:", 0) == 0)
      WriteStampedLogLine(L"\"" + arg +
                              L"\" is no option, though the usage text shows descr:: it is a "
                              L"plain argument (the service name, when last); a display name is "
                              L"given with displayname:",
                          platform::LineSeverity::kWarning);
}

// A display name typed without quotes arrives as several plain arguments, of
// which only the last is the service name: the log says which were dropped.
void LogPassedOver(const RunSettings& settings) {
  if (settings.PassedOver.empty()) return;
  std::wstring line = L"Passed over as the service name (only the last plain argument counts):";
  for (const std::wstring& arg : settings.PassedOver) line += L" \"" + arg + L"\"";
  WriteStampedLogLine(line + L"; the service name is \"" + settings.ServiceName + L"\".");
}

// Beside a mail client of the other bitness, whose MAPI this build cannot
// load, the twin build runs in this one's place, once; where it is missing,
// the run says which build to install. nullopt when this build runs on.
std::optional<int> HandOverToTwin(const std::vector<std::wstring>& args,
                                  const RunContext& context) {
  const TwinHandOver twin = DecideTwinHandOver(context.Facts);
  if (twin.Need == TwinNeed::kNone) return std::nullopt;
  if (twin.Need == TwinNeed::kMissing || twin.Need == TwinNeed::kRefused) {
    DebugTrace(L"%ls", MissingTwinAdvice(twin, context.Facts).c_str());
    return ExitCodeFor(RunOutcome::kFailed, context.Mode);
  }
  WriteStampedLogLine(L"Handing over to the " + twin.Bitness + L" build, which loads the " +
                      twin.Bitness + L" mail client's MAPI: " + twin.Path);
  platform::SystemError error;
  const std::optional<int> exitCode = RunTwin(twin, args, error);
  if (!exitCode) {
    DebugTrace(L"The %ls build could not be started (%ls): %ls", twin.Bitness.c_str(),
               platform::DescribeSystemError(error).c_str(), twin.Path.c_str());
    return ExitCodeFor(RunOutcome::kFailed, context.Mode);
  }
  WriteStampedLogLine(L"The " + twin.Bitness + L" build ended with exit code " +
                      std::to_wstring(*exitCode) + L".");
  return *exitCode;
}

// What a run came to after the command line: the twin's exit code where it
// ran instead, else the outcome, and whether MAPI started.
struct ActionResult {
  std::optional<int> HandedOver;
  RunOutcome Outcome = RunOutcome::kDone;
  bool MapiStarted = false;
};

// The service account's stop, the twin's hand-over, MAPI and the action.
ActionResult RunActionInMapi(const RunSettings& settings, const std::vector<std::wstring>& args,
                             const platform::MapiEntryPoints& mapi, UninstallCleanup& cleanup,
                             const RunContext& context) {
  ActionResult result;
  if (StopsUnderServiceAccount(context)) {
    result.Outcome = RunOutcome::kServiceAccount;
    return result;
  }
  result.HandedOver = HandOverToTwin(args, context);
  if (result.HandedOver) return result;
  std::unique_ptr<MapiSession> session = StartMapi(mapi);
  if (!session) {
    LogLikelyMapiStartFailureCause(context.Facts);
    result.Outcome = RunOutcome::kFailed;
    return result;
  }
  result.MapiStarted = true;
  result.Outcome = RunAction(settings, mapi, cleanup, session->Holder());
  // Whatever failed above, MAPI is shut down in the proper order.
  session->End();
  return result;
}

// Whether the per-user step has its act done already, by the record: an
// install is done once added, and at logon also once the user removed the
// service while the package stayed (that choice stands); a removal is done
// once removed either way.
bool PerUserActDone(PerUserState recorded, bool install, bool atLogon) {
  if (install)
    return recorded == PerUserState::kInstalled || (atLogon && recorded == PerUserState::kRemoved);
  return recorded == PerUserState::kRemoved || recorded == PerUserState::kRemovedWithPackage;
}

// The per-user step (per_user_step.h): at logon, the package's state says
// whether to install or remove; what was recorded done is not done again;
// "not yet" (a service account, MAPI does not start, no profile) exits 0
// unrecorded, to be tried at the next logon; an unreadable record acts on
// nothing. A removal is recorded only when complete. Detailed exit codes
// otherwise.
int RunPerUserStep(RunSettings& settings, const std::vector<std::wstring>& args,
                   const platform::MapiEntryPoints& mapi, UninstallCleanup& cleanup,
                   const RunContext& context) {
  const platform::RegistryPresence package = PackagePresence();
  if (settings.AtLogon && package == platform::RegistryPresence::kUnknown) {
    WriteStampedLogLine(
        L"Per-user step: whether the package is installed cannot be read "
        L"(HKEY_LOCAL_MACHINE\\Software\\Kalinor); nothing done.");
    return 0;
  }
  const bool packageInstalled = package == platform::RegistryPresence::kPresent;
  if (settings.AtLogon) settings.InstallMode = packageInstalled;
  const wchar_t* act = settings.InstallMode ? L"added" : L"removed";
  const PerUserState recorded = ReadPerUserState(settings.ServiceName);
  if (recorded == PerUserState::kUnreadable) {
    WriteStampedLogLine(
        L"Per-user step: the record of " + settings.ServiceName + L" in " + PerUserFolder() +
        L" cannot be read; nothing done, so that no choice of the user's is undone.");
    return 0;
  }
  if (PerUserActDone(recorded, settings.InstallMode, settings.AtLogon)) {
    WriteStampedLogLine(L"Per-user step: " + settings.ServiceName + L" was " +
                        (recorded == PerUserState::kRemoved && settings.InstallMode
                             ? std::wstring(L"removed by this user; it stays removed")
                             : std::wstring(act) + L" for this user before; nothing to do") +
                        L".");
    return 0;
  }
  const ActionResult result = RunActionInMapi(settings, args, mapi, cleanup, context);
  if (result.HandedOver) return *result.HandedOver;
  if (result.Outcome == RunOutcome::kServiceAccount || !result.MapiStarted ||
      result.Outcome == RunOutcome::kNoServiceAdmin) {
    const wchar_t* why = result.Outcome == RunOutcome::kServiceAccount ? L"a service account"
                         : !result.MapiStarted                         ? L"MAPI did not start"
                                                                       : L"no MAPI profile";
    WriteStampedLogLine(L"Per-user step: not yet (" + std::wstring(why) +
                        L"); it is tried again at the next logon.");
    return 0;
  }
  if (result.Outcome != RunOutcome::kDone)
    return ExitCodeFor(result.Outcome, ExitCodeMode::kDetailed);
  const PerUserState done = settings.InstallMode ? PerUserState::kInstalled
                            : packageInstalled   ? PerUserState::kRemoved
                                                 : PerUserState::kRemovedWithPackage;
  const bool kept = WritePerUserState(settings.ServiceName, done);
  WriteStampedLogLine(
      L"Per-user step: " + settings.ServiceName + L" " + act + L" for this user" +
      (kept ? L"; recorded, so it is not done again."
            : L"; the record could not be kept, so it is done again at the next logon."));
  return 0;
}

}  // namespace

bool RunStopsUnderServiceAccount(const RunContext& context) {
  return context.Mode == ExitCodeMode::kDetailed && IsServiceAccount(context.Facts);
}

int RunKalinor(const std::vector<std::wstring>& args, const platform::MapiEntryPoints& mapi,
               UninstallCleanup& cleanup, const RunContext& context) {
  const ExitCodeMode mode = context.Mode;
  const CommandLineCheck check = CheckCommandLine(args);
  switch (check.Request) {
    case CommandLineRequest::kUsage:
      PrintUsage();
      return 0;
    case CommandLineRequest::kVersion:
      PrintVersion();
      return 0;
    case CommandLineRequest::kUnknownSwitch:
      PrintUnknownSwitch(check.Argument);
      return ExitCodeFor(RunOutcome::kFailed, mode);
    case CommandLineRequest::kRun:
      break;
  }
  RunSettings settings = ParseArguments(args);
  LogDescrArguments(args);
  LogPassedOver(settings);
  if (settings.ServiceName.empty()) {
    platform::WriteStandardOutput(L"No service name was specified.");
    return ExitCodeFor(RunOutcome::kFailed, mode);
  }
  if (settings.PerUser) return RunPerUserStep(settings, args, mapi, cleanup, context);
  const ActionResult result = RunActionInMapi(settings, args, mapi, cleanup, context);
  return result.HandedOver ? *result.HandedOver : ExitCodeFor(result.Outcome, mode);
}

}  // namespace kalinor
