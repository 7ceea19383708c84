#include "query/query_commands.h"

#include <algorithm>

#include "datafolder/data_folders.h"
#include "mapiadmin/mapi_ptr.h"
#include "mapiadmin/mapi_session.h"
#include "mapiadmin/message_services.h"
#include "mapiadmin/profile_selection.h"
#include "mapiadmin/service_admin_holder.h"
#include "platform/com_apartment.h"
#include "platform/console.h"
#include "platform/text.h"
#include "query/doctor.h"
#include "query/json_object.h"
#include "query/query_arguments.h"
#include "query/query_error.h"
#include "query/query_output.h"
#include "report/debug_trace.h"
#include "runfacts/mail_client_bitness.h"
#include "runfacts/run_facts.h"
#include "settings/cleanup_plan.h"

namespace kalinor {

namespace {

const wchar_t kUsage[] =
    L"kalinor-query COMMAND [--json]\n"
    L"Answers questions about the MAPI profile and the connector's files; changes nothing.\n\n"
    L"  profiles                          each profile; the default one marked \"default\"\n"
    L"  services [profile:Name]           each service of the profile: name, display name\n"
    L"  has ServiceName [profile:Name]    \"installed\" (exit 0) or \"not installed\" (exit 1);\n"
    L"                                    exit 2 when it cannot tell\n"
    L"  plan                              what an uninstall would load, delete and refuse\n"
    L"  bitness                           this program's and the mail client's bitness;\n"
    L"                                    exit 1 when they differ\n"
    L"  error 0x8004010F                  the name and meaning of an error code\n"
    L"  doctor [ServiceName] [profile:Name]\n"
    L"                                    whether a kalinor run would work here: a line per\n"
    L"                                    check, and what to do; exit 0 ready, 1 not ready,\n"
    L"                                    2 when it cannot tell\n"
    L"  --help, --version\n\n"
    L"The profile is chosen as kalinor chooses it: the named one, else the only one, else\n"
    L"the default. --json prints one JSON document instead of lines.\n";

int ListProfilesCommand(const platform::MapiEntryPoints& mapi, QueryOutput& out) {
  const MapiSession session(mapi);
  if (!session.IsStarted()) return kQueryCannotTell;
  InterfacePtr<IProfAdmin> profAdmin;
  HRESULT result = mapi.MAPIAdminProfiles(0, profAdmin.Receive());
  std::vector<ProfileRow> profiles;
  if (result == S_OK) result = ListProfiles(mapi, profAdmin.Get(), profiles);
  if (result != S_OK) {
    DebugTraceError(L"Error getting profiles table: %#X", HResultBits(result));
    return kQueryCannotTell;
  }
  std::vector<JsonObject> items;
  for (const ProfileRow& profile : profiles) {
    if (profile.IsDefault)
      out.Fields({profile.Name, L"default"});
    else
      out.Fields({profile.Name});
    items.push_back(JsonObject().Add("name", profile.Name).Add("default", profile.IsDefault));
  }
  out.Json().Add("profiles", items);
  return kQueryOk;
}

// Reads the chosen profile's services; false (reported) when MAPI, the
// profile or the table fails.
bool ReadServices(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                  std::vector<ServiceRow>& services) {
  MapiSession session(mapi);
  if (!session.IsStarted()) return false;
  ServiceAdminHolder& holder = session.Holder();
  const wchar_t* profile = arguments.ProfileName.empty() ? nullptr : arguments.ProfileName.c_str();
  if (!OpenServiceAdmin(mapi, holder, profile)) return false;
  const HRESULT result = ListServices(mapi, holder, services);
  holder.Release();  // before MAPI shuts down
  if (result != S_OK) DebugTraceError(L"Error getting services table: %#X", HResultBits(result));
  return result == S_OK;
}

int ListServicesCommand(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                        QueryOutput& out) {
  std::vector<ServiceRow> services;
  if (!ReadServices(mapi, arguments, services)) return kQueryCannotTell;
  std::vector<JsonObject> items;
  for (const ServiceRow& service : services) {
    const std::wstring name = platform::FromAnsiCodePage(service.Name);
    out.Fields({name, service.DisplayName});
    items.push_back(JsonObject().Add("name", name).Add("displayName", service.DisplayName));
  }
  out.Json().Add("services", items);
  return kQueryOk;
}

int HasServiceCommand(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                      QueryOutput& out) {
  const std::wstring& serviceName = arguments.Operand;
  if (serviceName.empty()) {
    DebugTrace(L"No service name was specified.");
    return kQueryCannotTell;
  }
  std::vector<ServiceRow> services;
  if (!ReadServices(mapi, arguments, services)) return kQueryCannotTell;
  const bool installed = std::any_of(services.begin(), services.end(), [&](const ServiceRow& row) {
    return IsServiceNamed(row, serviceName);
  });
  out.Line(installed ? L"installed" : L"not installed");
  out.Json().Add("service", serviceName).Add("installed", installed);
  return installed ? kQueryOk : kQueryNo;
}

const wchar_t* SourceName(SettingsFileSource source) {
  switch (source) {
    case SettingsFileSource::kLoad:
      return L"load";
    case SettingsFileSource::kTakeOver:
      return L"take over";
    case SettingsFileSource::kSeed:
      return L"seed";
    case SettingsFileSource::kCreate:
      return L"create";
    case SettingsFileSource::kNone:
      break;
  }
  return L"none";
}

const wchar_t* ActionName(FileAction action) {
  switch (action) {
    case FileAction::kSeed:
      return L"seed";
    case FileAction::kTakeOver:
      return L"take over";
    case FileAction::kMoveDatabase:
      return L"move";
    case FileAction::kSaveTakenOverList:
    case FileAction::kSaveClearedList:
    case FileAction::kSaveGeneralSettings:
      return L"save";
    case FileAction::kRemoveOlderList:
      return L"remove";
    case FileAction::kDeleteDatabase:
      return L"delete";
    case FileAction::kRefuseMove:
      return L"refuse move";
    case FileAction::kRefuseDelete:
      return L"refuse";
    case FileAction::kLeave:
      break;
  }
  return L"leave";
}

// "<action>\t<path>[\t<destination>][\t<reason>]"
void ReportOperations(const std::vector<FileOperation>& operations, QueryOutput& out) {
  std::vector<JsonObject> items;
  for (const FileOperation& op : operations) {
    const std::wstring reason = op.Reason != nullptr ? op.Reason : L"";
    const std::wstring_view action = ActionName(op.Action);
    if (op.Destination.empty() && reason.empty())
      out.Fields({action, op.Path});
    else if (reason.empty())
      out.Fields({action, op.Path, op.Destination});
    else if (op.Destination.empty())
      out.Fields({action, op.Path, reason});
    else
      out.Fields({action, op.Path, op.Destination, reason});
    items.push_back(JsonObject()
                        .Add("action", ActionName(op.Action))
                        .Add("path", op.Path)
                        .Add("destination", op.Destination)
                        .Add("reason", reason));
  }
  out.Json().Add("operations", items);
}

// "<label>\t<source>\t<file>[\tfrom\t<source file>]"
void ReportSettingsFile(const wchar_t* label, const char* key, const SettingsFilePlan& file,
                        QueryOutput& out) {
  if (file.SourcePath.empty())
    out.Fields({label, SourceName(file.Source), file.FilePath});
  else
    out.Fields({label, SourceName(file.Source), file.FilePath, L"from", file.SourcePath});
  out.Json().Add(key, JsonObject()
                          .Add("file", file.FilePath)
                          .Add("action", SourceName(file.Source))
                          .Add("source", file.SourcePath));
}

void ReportDataFolder(const DataFolders& folders, QueryOutput& out) {
  const DataRootOrigin& origin = folders.HowDataRootWasFound();
  const wchar_t* foundBy = origin.PolicyUsed ? L"policy value" : L"fallback";
  out.Fields({L"data folder", folders.DataFolder()});
  if (!origin.PolicyValue.empty()) out.Fields({L"policy value", origin.PolicyValue});
  if (!origin.ExpandedPolicyValue.empty())
    out.Fields({L"policy value expanded", origin.ExpandedPolicyValue});
  out.Line(std::wstring(L"found by\t") + foundBy);
  out.Json()
      .Add("dataFolder", folders.DataFolder())
      .Add("policyValue", origin.PolicyValue)
      .Add("expandedPolicyValue", origin.ExpandedPolicyValue)
      .Add("foundBy", foundBy);
}

int PlanCommand(QueryOutput& out) {
  // Without a MAPI session, nothing else has initialised COM for the DOM.
  const platform::ComApartment com;
  const CleanupPlan plan = PlanCleanup(DataFolders::Resolve(FolderCreation::kNone));
  ReportDataFolder(plan.Folders, out);
  ReportSettingsFile(L"store settings", "storeSettings", plan.StoreSettingsFile, out);
  ReportSettingsFile(L"general settings", "generalSettings", plan.GeneralSettingsFile, out);
  ReportOperations(plan.Operations, out);
  out.Json().Add("storeListReadable", plan.StoreListReadable);
  const bool cannotTell = plan.Folders.DataFolder().empty() || !plan.StoreListReadable;
  return cannotTell ? kQueryCannotTell : kQueryOk;
}

int BitnessCommand(const platform::MapiEntryPoints& mapi, QueryOutput& out) {
  const std::wstring process = ProcessBitness();
  const std::wstring client = MailClientBitness();
  out.Line(L"this program\t" + process);
  out.Line(L"mail client\t" + (client.empty() ? L"unknown" : client));
  out.Json().Add("program", process).Add("mailClient", client.empty() ? L"unknown" : client);
  if (!client.empty() && client != process) return kQueryNo;
  // MAPI is tried only where it can load, so that no dialog box appears.
  if (client == process) {
    const MapiSession session(mapi);
    out.Line(std::wstring(L"MAPI starts\t") + (session.IsStarted() ? L"yes" : L"no"));
    out.Json().Add("mapiStarts", session.IsStarted());
  }
  return kQueryOk;
}

}  // namespace

int RunQuery(const std::vector<std::wstring>& args, const platform::MapiEntryPoints& mapi) {
  const QueryArguments arguments = ParseQueryArguments(args);
  QueryOutput out(arguments.Json);
  const std::wstring& command = arguments.Command;
  int code = kQueryNo;
  if (command == L"profiles")
    code = ListProfilesCommand(mapi, out);
  else if (command == L"services")
    code = ListServicesCommand(mapi, arguments, out);
  else if (command == L"has")
    code = HasServiceCommand(mapi, arguments, out);
  else if (command == L"plan")
    code = PlanCommand(out);
  else if (command == L"bitness")
    code = BitnessCommand(mapi, out);
  else if (command == L"doctor")
    code = DoctorCommand(mapi, arguments, GatherRunFacts(), out);
  else if (command == L"error")
    code = ErrorCommand(arguments.Operand, out);
  else if (command == L"--version")
    code = VersionCommand(out);
  else {
    platform::WriteStandardOutput(kUsage);
    return command == L"--help" || command == L"-?" || command == L"/?" ? kQueryOk : kQueryNo;
  }
  out.Print();
  return code;
}

}  // namespace kalinor
