// The facts of a run: who runs it, in which session, beside which mail client
// and which MAPI, gathered once and shared by both programs (the run log's
// header, the service-account decision, the doctor's checks).
//
// Dependency rule: runfacts uses platform/ only. It never
// includes a program's folder (frontend/, query/) or anything that writes a
// message: it returns facts and decisions, and each program decides where a
// line goes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runfacts/mail_client_bitness.h"

namespace kalinor {

/// The accounts that services run as. A run under one of them changes that
/// account's own MAPI profile, never a user's.
enum class ServiceAccountKind {
  None,
  LocalSystem,      // S-1-5-18
  LocalService,     // S-1-5-19
  NetworkService,   // S-1-5-20
  VirtualService,   // a per-service virtual account, NT SERVICE\<name>: S-1-5-80-…
  ApplicationPool,  // an IIS application pool identity: S-1-5-82-…
  NonInteractive,   // any other account whose logon has no interactive session
};

struct RunFacts {
  std::wstring AccountName;  // "DOMAIN\user"; "" when unknown
  std::wstring AccountSid;   // "S-1-5-21-…"; "" when unknown
  ServiceAccountKind ServiceAccount = ServiceAccountKind::None;
  bool Elevated = false;
  bool HasLinkedToken = false;  // a split (UAC) token: the other half exists
  std::optional<std::uint32_t> SessionId;
  bool InteractiveLogon = true;  // the token is INTERACTIVE (S-1-5-4); true when unknown
  std::wstring ProcessBitness;   // "x64" or "x86"
  MailClient Client;
  bool NewOutlookOn = false;  // HKCU ...\16.0\Outlook\Preferences "UseNewOutlook" = 1
  std::wstring MapiDllPath;   // the mail client's "DllPathEx"; "" when none is registered
  bool MapiDllExists = false;
  bool OutlookRunning = false;      // OUTLOOK.EXE in this session
  bool RedirectionGuardOn = false;  // junctions non-administrators made are not followed
};

/// Gathers the facts once, reading only: the account, the registry and the
/// process list. A fact that cannot be read keeps its empty value (an
/// unreadable registry value counts as absent); this never fails as a whole.
RunFacts GatherRunFacts();

/// The service account a SID names (S-1-5-18, -19, -20, S-1-5-80-…,
/// S-1-5-82-…); for any other SID NonInteractive when its logon has no
/// interactive session, else None.
ServiceAccountKind ServiceAccountOf(const std::wstring& sid, bool interactiveLogon = true);

/// "LocalSystem", "LocalService", "NetworkService", "a virtual service
/// account", "an IIS application pool", "a logon without an interactive
/// session"; "" for None.
const wchar_t* ServiceAccountName(ServiceAccountKind kind);

/// True when the run is under any ServiceAccountKind but None.
bool IsServiceAccount(const RunFacts& facts);

/// Which run this is, for what the tool may do in folders another account
/// controls.
enum class RunMode {
  kUnelevated,             ///< the account's own rights
  kElevatedLinkedToken,    ///< elevated, with the unelevated half of a split token
  kElevatedNoLinkedToken,  ///< elevated without one: UAC off, the built-in Administrator, root
  kServiceAccount,         ///< LocalSystem and the other service accounts: their own profile
};

/// The run mode the facts show.
RunMode RunModeOf(const RunFacts& facts);

/// The run mode in words, as the run log's "run mode:" line gives it.
const wchar_t* RunModeDescription(RunMode mode);

/// The lines a run log's header carries, one fact per line, such as
/// "account: DOMAIN\user (S-1-5-21-…), not elevated, session 1".
std::vector<std::wstring> RunFactsLines(const RunFacts& facts);

/// The mail client's bitness against this build's (MatchBitness).
BitnessMatch ClientBitnessMatch(const RunFacts& facts);

/// The classic client's MAPI DLL: none registered ("DllPathEx"), registered
/// but missing, or there.
enum class MapiDllState { kNotRegistered, kMissing, kPresent };
MapiDllState MapiDllStateOf(const RunFacts& facts);

/// True when MAPI can load here: the mail client's bitness is known and this
/// build's, and its MAPI DLL is there. Where it cannot, starting MAPI may
/// raise MAPI's own dialog boxes.
bool MapiCanLoad(const RunFacts& facts);

/// One sentence naming the likely cause of a failed MAPI start, the first of:
/// the mail client's bitness differs from this build's; no classic mail
/// client registered; its MAPI DLL missing; the new Outlook switched on.
/// "" when the facts show none of them.
std::wstring LikelyMapiStartFailureCause(const RunFacts& facts);

}  // namespace kalinor
