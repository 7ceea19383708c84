#include "runfacts/run_facts.h"

#include "platform/account.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/process_info.h"
#include "platform/registry.h"
#include "platform/running_programs.h"
#include "platform/text.h"

namespace kalinor {

namespace {

constexpr std::uint32_t kRegDword = 4;

const wchar_t kPreferencesKey[] = L"Software\\Microsoft\\Office\\16.0\\Outlook\\Preferences";
const wchar_t kMailClientKey[] = L"Software\\Clients\\Mail\\Microsoft Outlook";

// A REG_DWORD of exactly four bytes, little-endian as Windows stores it;
// nullopt for any other type or size.
std::optional<std::uint32_t> ReadDword(platform::RegistryRoot root, const wchar_t* subkey,
                                       const wchar_t* name) {
  platform::RegistryValue value;
  if (!platform::ReadRegistryValue(root, subkey, name, 4, value) || value.type != kRegDword ||
      value.data.size() != 4)
    return std::nullopt;
  std::uint32_t number = 0;
  for (int i = 3; i >= 0; --i) number = number << 8 | value.data[static_cast<std::size_t>(i)];
  return number;
}

// "%NAME%" replaced by the variable's value where it is set; the rest kept,
// as ExpandEnvironmentStrings leaves an unknown name.
std::wstring ExpandVariables(const std::wstring& text) {
  std::wstring result;
  std::size_t at = 0;
  for (;;) {
    const std::size_t open = text.find(L'%', at);
    const std::size_t close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
    if (close == std::wstring::npos) return result + text.substr(at);
    const auto value = platform::LookUpEnvironmentVariable(text.substr(open + 1, close - open - 1));
    result += text.substr(at, open - at);
    result += value ? *value : text.substr(open, close - open + 1);
    at = close + 1;
  }
}

// The "DllPathEx" that MAPI's loader reads, in this process's own view: a
// 32-bit build loads the 32-bit client's DLL.
std::wstring RegisteredMapiDll() {
  const platform::RegistryString path =
      platform::ReadRegistryString(platform::RegistryRoot::LocalMachine, kMailClientKey,
                                   L"DllPathEx", platform::RegistryView::Process);
  return path.expandable ? ExpandVariables(path.text) : path.text;
}

std::wstring OrUnknown(const std::wstring& text) { return text.empty() ? L"unknown" : text; }

std::wstring AccountLine(const RunFacts& facts) {
  std::wstring line =
      L"account: " + OrUnknown(facts.AccountName) + L" (" + OrUnknown(facts.AccountSid);
  if (IsServiceAccount(facts))
    line += std::wstring(L", ") + ServiceAccountName(facts.ServiceAccount);
  line += facts.Elevated ? L"), elevated, session " : L"), not elevated, session ";
  return line + (facts.SessionId ? std::to_wstring(*facts.SessionId) : L"unknown");
}

std::wstring MailClientLine(const MailClient& client) {
  if (client.Kind == MailClientKind::None) return L"mail client: none found";
  std::wstring line = client.Kind == MailClientKind::ClickToRun ? L"mail client: Click-to-Run, "
                                                                : L"mail client: MSI, ";
  line += client.Bitness;
  return client.Version.empty() ? line : line + L", version " + client.Version;
}

std::wstring MapiDllLine(const RunFacts& facts) {
  if (facts.MapiDllPath.empty()) return L"MAPI DLL: none registered";
  return L"MAPI DLL: " + facts.MapiDllPath + (facts.MapiDllExists ? L" (present)" : L" (missing)");
}

}  // namespace

const wchar_t* ServiceAccountName(ServiceAccountKind kind) {
  switch (kind) {
    case ServiceAccountKind::LocalSystem:
      return L"LocalSystem";
    case ServiceAccountKind::LocalService:
      return L"LocalService";
    case ServiceAccountKind::NetworkService:
      return L"NetworkService";
    case ServiceAccountKind::VirtualService:
      return L"a virtual service account";
    case ServiceAccountKind::ApplicationPool:
      return L"an IIS application pool";
    case ServiceAccountKind::NonInteractive:
      return L"a logon without an interactive session";
    case ServiceAccountKind::None:
      break;
  }
  return L"";
}

ServiceAccountKind ServiceAccountOf(const std::wstring& sid, bool interactiveLogon) {
  if (sid == L"S-1-5-18") return ServiceAccountKind::LocalSystem;
  if (sid == L"S-1-5-19") return ServiceAccountKind::LocalService;
  if (sid == L"S-1-5-20") return ServiceAccountKind::NetworkService;
  // NT SERVICE\<name> and IIS APPPOOL\<name>: an authority and at least one
  // more sub-authority.
  if (sid.rfind(L"S-1-5-80-", 0) == 0 && sid.size() > 9) return ServiceAccountKind::VirtualService;
  if (sid.rfind(L"S-1-5-82-", 0) == 0 && sid.size() > 9) return ServiceAccountKind::ApplicationPool;
  if (!interactiveLogon) return ServiceAccountKind::NonInteractive;
  return ServiceAccountKind::None;
}

RunFacts GatherRunFacts() {
  RunFacts facts;
  platform::AccountInfo account = platform::CurrentAccount();
  facts.AccountName = std::move(account.Name);
  facts.AccountSid = std::move(account.Sid);
  facts.Elevated = account.Elevated;
  facts.HasLinkedToken = account.HasLinkedToken;
  facts.SessionId = account.SessionId;
  facts.InteractiveLogon = account.InteractiveLogon.value_or(true);
  facts.ServiceAccount = ServiceAccountOf(facts.AccountSid, facts.InteractiveLogon);
  facts.ProcessBitness = ProcessBitness();
  facts.Client = FindMailClient();
  facts.NewOutlookOn =
      ReadDword(platform::RegistryRoot::CurrentUser, kPreferencesKey, L"UseNewOutlook") == 1u;
  facts.MapiDllPath = RegisteredMapiDll();
  facts.MapiDllExists = !facts.MapiDllPath.empty() && platform::PathExists(facts.MapiDllPath);
  facts.OutlookRunning = platform::IsProgramRunningInSession(L"OUTLOOK.EXE");
  facts.RedirectionGuardOn = platform::IsRedirectionGuardOn();
  return facts;
}

bool IsServiceAccount(const RunFacts& facts) {
  return facts.ServiceAccount != ServiceAccountKind::None;
}

RunMode RunModeOf(const RunFacts& facts) {
  if (IsServiceAccount(facts)) return RunMode::kServiceAccount;
  if (!facts.Elevated) return RunMode::kUnelevated;
  return facts.HasLinkedToken ? RunMode::kElevatedLinkedToken : RunMode::kElevatedNoLinkedToken;
}

const wchar_t* RunModeDescription(RunMode mode) {
  switch (mode) {
    case RunMode::kUnelevated:
      return L"unelevated (the account's own rights)";
    case RunMode::kElevatedLinkedToken:
      return L"elevated, with a linked unelevated token (the user's own split token, or "
             L"another administrator's who gave credentials): each act is checked against it";
    case RunMode::kElevatedNoLinkedToken:
      return L"elevated, without a linked token (UAC off, the built-in Administrator, or root): "
             L"no token to check acts against, only the system's links are followed";
    case RunMode::kServiceAccount:
      return L"a service account (its own profile; a user's folders only through a policy path): "
             L"no token to check acts against, only the system's links are followed";
  }
  return L"unknown";
}

std::vector<std::wstring> RunFactsLines(const RunFacts& facts) {
  return {AccountLine(facts),
          std::wstring(L"run mode: ") + RunModeDescription(RunModeOf(facts)),
          L"process: " + facts.ProcessBitness,
          MailClientLine(facts.Client),
          facts.NewOutlookOn ? L"new Outlook: on" : L"new Outlook: off",
          MapiDllLine(facts),
          facts.OutlookRunning ? L"Outlook running: yes" : L"Outlook running: no",
          facts.RedirectionGuardOn ? L"redirection guard: on"
                                   : L"redirection guard: off (not offered here)"};
}

BitnessMatch ClientBitnessMatch(const RunFacts& facts) {
  return MatchBitness(facts.Client.Bitness, facts.ProcessBitness);
}

MapiDllState MapiDllStateOf(const RunFacts& facts) {
  if (facts.MapiDllPath.empty()) return MapiDllState::kNotRegistered;
  return facts.MapiDllExists ? MapiDllState::kPresent : MapiDllState::kMissing;
}

bool MapiCanLoad(const RunFacts& facts) {
  return ClientBitnessMatch(facts) == BitnessMatch::kSame &&
         MapiDllStateOf(facts) == MapiDllState::kPresent;
}

std::wstring LikelyMapiStartFailureCause(const RunFacts& facts) {
  const std::wstring& client = facts.Client.Bitness;
  if (ClientBitnessMatch(facts) == BitnessMatch::kDifferent)
    return L"The mail client is " + client + L" and this program " + facts.ProcessBitness +
           L": MAPI cannot load across bitness; run the " + client + L" build.";
  switch (MapiDllStateOf(facts)) {
    case MapiDllState::kNotRegistered:
      return L"No classic Outlook is registered as the mail client (HKLM\\" +
             std::wstring(kMailClientKey) + L", \"DllPathEx\"), so there is no MAPI to start.";
    case MapiDllState::kMissing:
      return L"The MAPI DLL the mail client registers is missing: " + facts.MapiDllPath + L".";
    case MapiDllState::kPresent:
      break;
  }
  if (facts.NewOutlookOn)
    return L"The new Outlook is switched on (\"UseNewOutlook\" = 1); it has no MAPI: switch "
           L"back to the classic Outlook.";
  return {};
}

}  // namespace kalinor
