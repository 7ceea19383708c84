#include "query/doctor.h"

#include <optional>
#include <string>
#include <vector>

#include "cleanup/cleanup_plan.h"
#include "datafolder/data_folders.h"
#include "mapiadmin/mapi_ptr.h"
#include "mapiadmin/mapi_session.h"
#include "mapiadmin/profile_selection.h"
#include "platform/com_apartment.h"
#include "platform/mapi_service_catalogue.h"
#include "platform/text.h"
#include "query/query_commands.h"

namespace kalinor {
namespace {

enum class Verdict { kOk, kFail, kUnknown };

struct Check {
  const wchar_t* Name;
  Verdict Result;
  std::wstring Finding;
  std::wstring Action;  // what to do; "" when it passed
};

const wchar_t* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kOk:
      return L"ok";
    case Verdict::kFail:
      return L"fail";
    case Verdict::kUnknown:
      break;
  }
  return L"unknown";
}

Check AccountCheck(const RunFacts& facts) {
  const std::wstring who = facts.AccountName.empty() ? L"unknown" : facts.AccountName;
  if (!IsServiceAccount(facts)) return {L"account", Verdict::kOk, who, {}};
  return {L"account", Verdict::kFail,
          who + L" is " + ServiceAccountName(facts.ServiceAccount) +
              L", whose MAPI profile is its own, never the user's",
          L"run in the user's context (Intune: install behavior \"User\")"};
}

Check BitnessCheck(const RunFacts& facts) {
  const std::wstring& client = facts.Client.Bitness;
  const std::wstring program = L"this program " + facts.ProcessBitness;
  switch (ClientBitnessMatch(facts)) {
    case BitnessMatch::kUnknown:
      return {L"bitness", Verdict::kUnknown, program + L", mail client's bitness unknown", {}};
    case BitnessMatch::kSame:
      return {L"bitness", Verdict::kOk, program + L", mail client " + client, {}};
    case BitnessMatch::kDifferent:
      break;
  }
  return {L"bitness", Verdict::kFail,
          program + L", mail client " + client + L": MAPI cannot load across bitness",
          L"use the " + client + L" build of kalinor"};
}

Check ClientCheck(const RunFacts& facts) {
  switch (MapiDllStateOf(facts)) {
    case MapiDllState::kNotRegistered:
      return {L"classic client", Verdict::kFail,
              L"no classic Outlook registers a MAPI DLL (\"DllPathEx\")",
              L"install classic Outlook, or run where it is installed"};
    case MapiDllState::kMissing:
      return {L"classic client", Verdict::kFail, L"MAPI DLL missing: " + facts.MapiDllPath,
              L"repair the Office installation"};
    case MapiDllState::kPresent:
      break;
  }
  return {L"classic client", Verdict::kOk, L"MAPI DLL " + facts.MapiDllPath, {}};
}

Check NewOutlookCheck(const RunFacts& facts) {
  if (!facts.NewOutlookOn) return {L"new Outlook", Verdict::kOk, L"off", {}};
  return {L"new Outlook", Verdict::kFail,
          L"on (\"UseNewOutlook\" = 1): the new Outlook has no MAPI",
          L"switch the user back to classic Outlook"};
}

Check CatalogueCheck(const RunFacts& facts, const std::wstring& service) {
  const std::wstring path = platform::MapiServiceCataloguePath(facts.MapiDllPath);
  if (path.empty()) return {L"service", Verdict::kUnknown, L"no mapisvc.inf can be named here", {}};
  std::vector<platform::MapiServiceEntry> services;
  switch (platform::ReadMapiServiceCatalogue(path, services)) {
    case platform::CatalogueFile::kMissing:
      return {L"service", Verdict::kFail, L"no mapisvc.inf at " + path,
              L"install the provider of " + service};
    case platform::CatalogueFile::kUnreadable:
      return {L"service", Verdict::kUnknown, L"cannot read " + path, {}};
    case platform::CatalogueFile::kRead:
      break;
  }
  if (!platform::ListedServiceDisplayName(services, service))
    return {L"service", Verdict::kFail, service + L" not listed in " + path,
            L"install the provider of " + service + L" (its setup lists it there)"};
  return {L"service", Verdict::kOk, service + L" listed in " + path, {}};
}

bool SameProfileName(const std::wstring& a, const std::wstring& b) {
  return platform::AsciiLower(a) == platform::AsciiLower(b);
}

// The profile kalinor would choose, as OpenServiceAdmin chooses it: the named
// one, else the only one, else the default.
Check ChosenProfile(const platform::MapiEntryPoints& mapi, const std::wstring& named) {
  InterfacePtr<IProfAdmin> profAdmin;
  HRESULT result = mapi.MAPIAdminProfiles(0, profAdmin.Receive());
  std::vector<ProfileRow> rows;
  if (result == S_OK) result = ListProfiles(mapi, profAdmin.Get(), rows);
  if (result != S_OK)
    return {L"profile",
            Verdict::kUnknown,
            platform::FormatText(L"the profile table cannot be read: %#X", HResultBits(result)),
            {}};
  if (!named.empty()) {
    for (const ProfileRow& row : rows)
      if (SameProfileName(row.Name, named))
        return {L"profile", Verdict::kOk, row.Name + L" (named)", {}};
    std::wstring there;
    for (const ProfileRow& row : rows) there += (there.empty() ? L"" : L", ") + row.Name;
    return {
        L"profile", Verdict::kFail,
        L"no profile named " + named +
            (there.empty() ? std::wstring(L" (there is none)") : L" (there are: " + there + L")"),
        L"name a profile that exists, or create it"};
  }
  if (rows.empty())
    return {L"profile", Verdict::kFail, L"none",
            L"start classic Outlook once as this user to create a profile"};
  // The choice itself is kalinor's own, so that the two never disagree.
  std::wstring chosen;
  if (ChooseProfile(mapi, profAdmin.Get(), chosen, ProfilePurpose::kLook))
    return {L"profile",
            Verdict::kOk,
            chosen + (rows.size() == 1 ? L" (the only one)" : L" (the default)"),
            {}};
  return {L"profile", Verdict::kFail,
          std::to_wstring(rows.size()) + L" profiles and none is the default",
          L"name one with profile:Name"};
}

// MAPI is started only where the facts say it can load, so that no dialog
// box appears.
Check ProfileCheck(const platform::MapiEntryPoints& mapi, const RunFacts& facts,
                   const std::wstring& named) {
  if (!MapiCanLoad(facts))
    return {L"profile", Verdict::kUnknown, L"not looked at: MAPI cannot load here (see above)", {}};
  const MapiSession session(mapi);
  if (!session.IsStarted())
    return {L"profile", Verdict::kFail, L"MAPI does not start",
            L"see \"Error initializing MAPI\" on the debugger channel"};
  return ChosenProfile(mapi, named);
}

Check OutlookCheck(const RunFacts& facts) {
  if (!facts.OutlookRunning) return {L"Outlook running", Verdict::kOk, L"no", {}};
  return {L"Outlook running", Verdict::kFail,
          L"OUTLOOK.EXE runs in this session and holds the profile and the connector's files",
          L"close Outlook before the run"};
}

Check DataFolderCheck(const DataFolders& folders) {
  if (folders.DataFolder().empty())
    return {L"data folder", Verdict::kFail, L"unknown: no policy folder, no local application data",
            L"set the \"DataPath\" policy to a folder that exists"};
  const DataRootOrigin& origin = folders.HowDataRootWasFound();
  std::wstring finding = folders.DataFolder();
  if (origin.PolicyUsed)
    finding += L" (policy value \"" + origin.PolicyValue + L"\")";
  else if (!origin.PolicyValue.empty())
    finding += L" (fallback: the policy value \"" + origin.PolicyValue + L"\" names no folder)";
  else
    finding += L" (fallback: local application data)";
  if (!folders.InstallDataFolder().empty())
    finding += L"; seed folder " + folders.InstallDataFolder() + L" (product value)";
  return {L"data folder", Verdict::kOk, finding, {}};
}

// The uninstall's own judgement, from its plan: a settings file it would
// leave as it is (unreadable, not well-formed, over the size bound) fails.
Check SettingsFileCheck(const wchar_t* name, CleanupStep step, const SettingsFilePlan& file,
                        const CleanupPlan& plan) {
  if (file.FilePath.empty()) return {name, Verdict::kUnknown, L"no data folder", {}};
  for (const FileOperation& op : plan.Operations) {
    if (op.Action != FileAction::kLeave || op.Step != step) continue;
    std::wstring finding =
        L"present, but " + std::wstring(op.Reason != nullptr ? op.Reason : L"") + L": " + op.Path;
    if (op.Failure != S_OK) finding += platform::FormatText(L" (%#X)", HResultBits(op.Failure));
    return {name, Verdict::kFail,
            finding + L"; an uninstall would leave it and clear nothing in it",
            L"repair it (well-formed XML, a plain file this account can read and write) or "
            L"remove it; kalinor-query plan shows the uninstall's steps"};
  }
  switch (file.Source) {
    case SettingsFileSource::kLoad:
      return {name, Verdict::kOk, L"present, readable: " + file.FilePath, {}};
    case SettingsFileSource::kTakeOver:
      return {name,
              Verdict::kOk,
              L"absent: " + file.FilePath + L"; an uninstall takes over " + file.SourcePath,
              {}};
    case SettingsFileSource::kSeed:
      return {name,
              Verdict::kOk,
              L"absent: " + file.FilePath + L"; an uninstall seeds it from " + file.SourcePath,
              {}};
    case SettingsFileSource::kCreate:
    case SettingsFileSource::kNone:
      break;
  }
  return {name, Verdict::kOk, L"absent: " + file.FilePath, {}};
}

std::vector<Check> RunChecks(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                             const RunFacts& facts) {
  std::vector<Check> checks{AccountCheck(facts), BitnessCheck(facts), ClientCheck(facts),
                            NewOutlookCheck(facts)};
  if (!arguments.Operand.empty()) checks.push_back(CatalogueCheck(facts, arguments.Operand));
  checks.push_back(ProfileCheck(mapi, facts, arguments.ProfileName));
  // An install adds a service beside a running Outlook and reads none of
  // the connector's files.
  if (arguments.ForInstall) return checks;
  checks.push_back(OutlookCheck(facts));
  // The plan the uninstall would carry out, over folders resolved without
  // creating any; outside a MAPI session COM is entered here for the DOM.
  const platform::ComApartment com;
  const CleanupPlan plan = PlanCleanup(DataFolders::Resolve(FolderCreation::kNone));
  checks.push_back(DataFolderCheck(plan.Folders));
  checks.push_back(SettingsFileCheck(L"store settings", CleanupStep::kClearStoreSettings,
                                     plan.StoreSettingsFile, plan));
  checks.push_back(SettingsFileCheck(L"general settings", CleanupStep::kClearArchiveUrl,
                                     plan.GeneralSettingsFile, plan));
  return checks;
}

}  // namespace

bool ServiceInCatalogue(const RunFacts& facts, const std::wstring& service,
                        std::wstring& displayName, std::wstring& finding) {
  const Check check = CatalogueCheck(facts, service);
  finding = check.Finding + (check.Action.empty() ? L"" : L"; " + check.Action);
  if (check.Result != Verdict::kOk) return false;
  std::vector<platform::MapiServiceEntry> services;
  if (platform::ReadMapiServiceCatalogue(platform::MapiServiceCataloguePath(facts.MapiDllPath),
                                         services) == platform::CatalogueFile::kRead)
    displayName = platform::ListedServiceDisplayName(services, service).value_or(L"");
  return true;
}

std::wstring ChosenProfileText(const platform::MapiEntryPoints& mapi, const std::wstring& named,
                               std::wstring& why) {
  const Check profile = ChosenProfile(mapi, named);
  if (profile.Result == Verdict::kOk) return profile.Finding;
  why = profile.Finding + (profile.Action.empty() ? L"" : L"; " + profile.Action);
  return {};
}

std::wstring WhyNoServiceAdmin(const platform::MapiEntryPoints& mapi, const std::wstring& named) {
  const Check profile = ChosenProfile(mapi, named);
  if (profile.Result == Verdict::kOk)
    return L"the service administration of profile " + profile.Finding +
           L" cannot be opened (\"Error getting a service admin\" on the debugger channel gives "
           L"the code)";
  std::wstring why = L"profile: " + profile.Finding;
  if (!profile.Action.empty()) why += L"; " + profile.Action;
  return why;
}

int DoctorCommand(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                  const RunFacts& facts, QueryOutput& out) {
  int code = kQueryOk;
  std::vector<JsonObject> items;
  for (const Check& check : RunChecks(mapi, arguments, facts)) {
    if (check.Action.empty())
      out.Fields({check.Name, VerdictName(check.Result), check.Finding});
    else
      out.Fields({check.Name, VerdictName(check.Result), check.Finding, check.Action});
    items.push_back(JsonObject()
                        .Add("check", check.Name)
                        .Add("verdict", VerdictName(check.Result))
                        .Add("finding", check.Finding)
                        .Add("action", check.Action));
    if (check.Result == Verdict::kFail) code = kQueryNo;
    if (check.Result == Verdict::kUnknown && code == kQueryOk) code = kQueryCannotTell;
  }
  const wchar_t* verdict = code == kQueryOk   ? L"ready"
                           : code == kQueryNo ? L"not ready"
                                              : L"cannot tell";
  out.Line(std::wstring(L"verdict\t") + verdict);
  out.Json().Add("checks", items).Add("verdict", verdict);
  return code;
}

}  // namespace kalinor
