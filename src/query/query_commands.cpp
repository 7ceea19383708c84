#include "query/query_commands.h"

#include <algorithm>
#include <optional>

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
#include "runfacts/twin_handover.h"
#include "cleanup/cleanup_plan.h"

namespace kalinor {

namespace {

const wchar_t kUsage[] =
    L"kalinor-query COMMAND [--json]\n"
    L"Answers questions about the MAPI profile and the connector's files; changes nothing.\n\n"
    L"  profiles                          each profile; the default one marked \"default\"\n"
    L"  services [profile:Name]           each service of the profile: name, display name\n"
    L"  has ServiceName [profile:Name]    \"installed\" (exit 0) or \"not installed\" (exit 1);\n"
    L"                                    exit 2 when it cannot tell\n"
    L"  has ServiceName --detect          \"installed\" (exit 0), or nothing at all (exit 0)\n"
    L"                                    when it is not; exit 2 when it cannot tell\n"
    L"  plan [ServiceName] [profile:Name] what an uninstall would do: with a service name\n"
    L"                                    the profile and each service it would remove, then\n"
    L"                                    what it would load, delete and refuse\n"
    L"  plan --install ServiceName [profile:Name] [displayname:Name]\n"
    L"                                    what an install would do: the profile, and the\n"
    L"                                    service it would create or that it is there\n"
    L"  bitness                           this program's and the mail client's bitness;\n"
    L"                                    exit 1 when they differ\n"
    L"  error 0x8004010F                  the name and meaning of an error code (hexadecimal\n"
    L"                                    with or without 0x, or decimal)\n"
    L"  doctor [ServiceName] [profile:Name] [--install]\n"
    L"                                    whether a kalinor run would work here: a line per\n"
    L"                                    check, and what to do; exit 0 ready, 1 not ready,\n"
    L"                                    2 when it cannot tell; --install checks only what\n"
    L"                                    an install needs (not Outlook running, not the\n"
    L"                                    connector's files)\n"
    L"  --help, --version\n\n"
    L"The profile is chosen as kalinor chooses it: the named one, else the only one, else\n"
    L"the default. --json prints one JSON document instead of lines. Commands and options\n"
    L"match in any case. A command that fails says what failed on standard error (with\n"
    L"--json, in the document's \"error\" member).\n";

// What kalinor-query says when MAPI does not start.
const wchar_t kMapiDoesNotStart[] =
    L"MAPI does not start (\"Error initializing MAPI\" on the debugger channel gives the "
    L"code); kalinor-query doctor says why";

int ListProfilesCommand(const platform::MapiEntryPoints& mapi, QueryOutput& out) {
  const MapiSession session(mapi);
  if (!session.IsStarted()) return out.Fail(kQueryCannotTell, "mapi-start", kMapiDoesNotStart);
  InterfacePtr<IProfAdmin> profAdmin;
  HRESULT result = mapi.MAPIAdminProfiles(0, profAdmin.Receive());
  std::vector<ProfileRow> profiles;
  if (result == S_OK) result = ListProfiles(mapi, profAdmin.Get(), profiles);
  if (result != S_OK) {
    DebugTraceError(L"Error getting profiles table: %#X", HResultBits(result));
    return out.Fail(kQueryCannotTell, "profile-table",
                    platform::FormatText(L"the profile table cannot be read: %#X; kalinor-query "
                                         L"error %#X names it",
                                         HResultBits(result), HResultBits(result)));
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

// Reads the chosen profile's services; false when MAPI, the profile or the
// table fails, which out records as "cannot tell" with what failed.
bool ReadServices(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                  std::vector<ServiceRow>& services, QueryOutput& out) {
  MapiSession session(mapi);
  if (!session.IsStarted()) {
    out.Fail(kQueryCannotTell, "mapi-start", kMapiDoesNotStart);
    return false;
  }
  ServiceAdminHolder& holder = session.Holder();
  const wchar_t* profile = arguments.ProfileName.empty() ? nullptr : arguments.ProfileName.c_str();
  if (!OpenServiceAdmin(mapi, holder, profile, ProfilePurpose::kLook)) {
    out.Fail(kQueryCannotTell, "profile", WhyNoServiceAdmin(mapi, arguments.ProfileName));
    return false;
  }
  const HRESULT result = ListServices(mapi, holder, services);
  holder.Release();  // before MAPI shuts down
  if (result == S_OK) return true;
  DebugTraceError(L"Error getting services table: %#X", HResultBits(result));
  out.Fail(kQueryCannotTell, "service-table",
           platform::FormatText(L"the profile's service table cannot be read: %#X; kalinor-query "
                                L"error %#X names it",
                                HResultBits(result), HResultBits(result)));
  return false;
}

int ListServicesCommand(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                        QueryOutput& out) {
  std::vector<ServiceRow> services;
  if (!ReadServices(mapi, arguments, services, out)) return kQueryCannotTell;
  std::vector<JsonObject> items;
  for (const ServiceRow& service : services) {
    const std::wstring name = platform::FromAnsiCodePage(service.Name);
    out.Fields({name, service.DisplayName});
    items.push_back(JsonObject().Add("name", name).Add("displayName", service.DisplayName));
  }
  out.Json().Add("services", items);
  return kQueryOk;
}

// With --detect, a service that is not there prints nothing and exits 0, as
// Configuration Manager's script detection reads "not installed"; Intune reads
// it the same way.
int HasServiceCommand(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                      QueryOutput& out) {
  const std::wstring& serviceName = arguments.Operand;
  if (serviceName.empty())
    return out.Fail(kQueryCannotTell, "usage",
                    L"has needs a service name, as in: kalinor-query has ArchiveConnector");
  std::vector<ServiceRow> services;
  if (!ReadServices(mapi, arguments, services, out)) return kQueryCannotTell;
  const bool installed = std::any_of(services.begin(), services.end(), [&](const ServiceRow& row) {
    return IsServiceNamed(row, serviceName);
  });
  out.Line(installed ? L"installed" : L"not installed");
  out.Json().Add("service", serviceName).Add("installed", installed);
  if (arguments.Detect) {
    // A detection script reads any output as "installed"; a JSON reader
    // reads the document.
    if (!installed && !arguments.Json) out.Silence();
    return kQueryOk;
  }
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
    case FileAction::kSaveClearedArchiveUrl:
      return L"save";
    case FileAction::kRemoveOlderList:
      return L"remove";
    case FileAction::kDeleteDatabase:
      return L"delete";
    case FileAction::kRefuseMove:
      return L"refuse move";
    case FileAction::kRefuseDelete:
      return L"refuse";
    case FileAction::kRefuseFolder:
      return L"refuse folder";
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

// The folders an uninstall would create, parents first: those missing along
// the data folder and the debug-log folder.
void ReportFoldersToCreate(const DataFolders& folders, QueryOutput& out) {
  std::vector<std::wstring> missing;
  for (const std::wstring& folder : {folders.DataFolder(), folders.DebugLogsFolder()}) {
    if (folder.empty()) continue;
    std::vector<std::wstring> along = platform::FolderPathPrefixes(folder);
    along.push_back(folder);
    for (const std::wstring& path : along)
      if (!platform::PathExists(path) &&
          std::find(missing.begin(), missing.end(), path) == missing.end())
        missing.push_back(path);
  }
  for (const std::wstring& path : missing) out.Fields({L"create folder", path});
  std::vector<JsonObject> items;
  for (const std::wstring& path : missing) items.push_back(JsonObject().Add("path", path));
  out.Json().Add("createFolders", items);
}

// The profile a run would choose and its services, as a plan reads them:
// Profile "" with Why set when there is none; Read false (Why set) when its
// services cannot be read.
struct PlannedProfile {
  std::wstring Profile;
  std::wstring Why;
  bool Read = false;
  std::vector<ServiceRow> Services;
};

PlannedProfile ReadPlannedProfile(const platform::MapiEntryPoints& mapi,
                                  const QueryArguments& arguments) {
  PlannedProfile planned;
  MapiSession session(mapi);
  if (!session.IsStarted()) {
    planned.Why = L"MAPI does not start; kalinor-query doctor says why";
    return planned;
  }
  planned.Profile = ChosenProfileText(mapi, arguments.ProfileName, planned.Why);
  if (planned.Profile.empty()) return planned;
  ServiceAdminHolder& holder = session.Holder();
  const wchar_t* named = arguments.ProfileName.empty() ? nullptr : arguments.ProfileName.c_str();
  planned.Read = OpenServiceAdmin(mapi, holder, named, ProfilePurpose::kLook) &&
                 ListServices(mapi, holder, planned.Services) == S_OK;
  holder.Release();  // before MAPI shuts down
  if (!planned.Read) planned.Why = L"the profile's services cannot be read";
  return planned;
}

// The service part of an uninstall, as the run would do it: the profile it
// opens and each service of the name it removes, or why none; the cleanup
// runs whatever this comes to.
void ReportServiceRemoval(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                          QueryOutput& out) {
  const std::wstring& name = arguments.Operand;
  out.Fields({L"service", name});
  out.Json().Add("service", name);
  const PlannedProfile planned = ReadPlannedProfile(mapi, arguments);
  if (planned.Profile.empty())
    out.Fields({L"profile", L"none", planned.Why});
  else
    out.Fields({L"profile", planned.Profile});
  std::vector<JsonObject> removed;
  for (const ServiceRow& row : planned.Services) {
    if (!IsServiceNamed(row, name)) continue;
    const std::wstring rowName = platform::FromAnsiCodePage(row.Name);
    out.Fields({L"remove service", rowName, row.DisplayName});
    removed.push_back(JsonObject().Add("name", rowName).Add("displayName", row.DisplayName));
  }
  if (removed.empty())
    out.Fields(
        {L"no service", name,
         (planned.Why.empty() ? std::wstring(L"none of that name in the profile") : planned.Why) +
             L": the cleanup still runs"});
  out.Json().Add("profile", planned.Profile).Add("removeServices", removed);
}

// The plan of an install, as the run would do it: the profile, then
// "already installed" or the service it would create, with the display name
// mapisvc.inf gives it (which wins over displayname:), or why it would fail.
// Exit 0 when the install would hold, 1 when it would fail.
int PlanInstall(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                QueryOutput& out) {
  const std::wstring& name = arguments.Operand;
  out.Fields({L"service", name});
  out.Json().Add("service", name);
  if (platform::AsciiLower(name).rfind(L"descr:", 0) == 0)
    out.Fields({L"note", L"descr: is no option: \"" + name +
                             L"\" is the service name; a display name is given with displayname:"});
  const PlannedProfile planned = ReadPlannedProfile(mapi, arguments);
  out.Json().Add("profile", planned.Profile);
  if (planned.Profile.empty()) {
    out.Fields({L"profile", L"none", planned.Why + L": the install would add nothing"});
    return kQueryNo;
  }
  out.Fields({L"profile", planned.Profile});
  if (!planned.Read) return out.Fail(kQueryCannotTell, "service-table", planned.Why);
  for (const ServiceRow& row : planned.Services)
    if (IsServiceNamed(row, name)) {
      out.Fields({L"already installed", platform::FromAnsiCodePage(row.Name),
                  L"the install changes nothing"});
      out.Json().Add("installed", true);
      return kQueryOk;
    }
  out.Json().Add("installed", false);
  std::wstring listed;
  std::wstring finding;
  if (!ServiceInCatalogue(GatherRunFacts(), name, listed, finding)) {
    out.Fields({L"cannot create", name, finding});
    return kQueryNo;
  }
  const std::wstring display = !listed.empty()                  ? listed
                               : !arguments.DisplayName.empty() ? arguments.DisplayName
                                                                : name;
  out.Fields({L"create service", name, display, finding});
  out.Json().Add("displayName", display);
  return kQueryOk;
}

int PlanCommand(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                QueryOutput& out) {
  if (arguments.ForInstall) return PlanInstall(mapi, arguments, out);
  if (!arguments.Operand.empty()) ReportServiceRemoval(mapi, arguments, out);
  // Without a MAPI session, nothing else has initialised COM for the DOM.
  const platform::ComApartment com;
  const CleanupPlan plan = PlanCleanup(DataFolders::Resolve(FolderCreation::kNone));
  ReportDataFolder(plan.Folders, out);
  ReportFoldersToCreate(plan.Folders, out);
  ReportSettingsFile(L"store settings", "storeSettings", plan.StoreSettingsFile, out);
  ReportSettingsFile(L"general settings", "generalSettings", plan.GeneralSettingsFile, out);
  ReportOperations(plan.Operations, out);
  out.Json().Add("storeListReadable", plan.StoreListReadable);
  if (plan.Folders.DataFolder().empty())
    return out.Fail(kQueryCannotTell, "no-data-folder",
                    L"no data folder: no policy folder and no local application data; "
                    L"kalinor-query doctor says more");
  if (!plan.StoreListReadable)
    return out.Fail(kQueryCannotTell, "store-list-unreadable",
                    L"the store list " + plan.StoreSettingsFile.FilePath +
                        L" cannot be read: an uninstall would leave it and delete no database; "
                        L"repair or remove it");
  return kQueryOk;
}

int BitnessCommand(const platform::MapiEntryPoints& mapi, QueryOutput& out) {
  const std::wstring process = ProcessBitness();
  const std::wstring client = MailClientBitness();
  out.Line(L"this program\t" + process);
  out.Line(L"mail client\t" + (client.empty() ? L"unknown" : client));
  out.Json().Add("program", process).Add("mailClient", client.empty() ? L"unknown" : client);
  const BitnessMatch match = MatchBitness(client, process);
  if (match == BitnessMatch::kDifferent) return kQueryNo;
  // MAPI is tried only where it can load, so that no dialog box appears.
  if (match == BitnessMatch::kSame) {
    const MapiSession session(mapi);
    out.Line(std::wstring(L"MAPI starts\t") + (session.IsStarted() ? L"yes" : L"no"));
    out.Json().Add("mapiStarts", session.IsStarted());
  }
  return kQueryOk;
}

// What each command takes beyond its name.
struct CommandShape {
  const wchar_t* Name;
  bool TakesOperand;  // one plain argument (has, error, doctor)
  bool TakesProfile;  // "profile:"
};

const CommandShape kCommands[] = {
    {L"profiles", false, false}, {L"services", false, true},   {L"has", true, true},
    {L"plan", true, true},       {L"bitness", false, false},   {L"doctor", true, true},
    {L"error", true, false},     {L"--version", false, false},
};

const CommandShape* FindCommand(const std::wstring& name) {
  for (const CommandShape& shape : kCommands)
    if (name == shape.Name) return &shape;
  return nullptr;
}

// A usage failure: the command line asks for what no command does. 0 when
// the arguments fit the command.
int CheckUsage(const QueryArguments& arguments, const CommandShape* shape, QueryOutput& out) {
  const std::wstring help = L"; kalinor-query --help lists the commands and options";
  if (!arguments.Unknown.empty())
    return out.Fail(kQueryNo, "usage",
                    L"the option \"" + arguments.Unknown + L"\" is not understood" + help);
  if (arguments.Command.empty()) return out.Fail(kQueryNo, "usage", L"no command given" + help);
  if (shape == nullptr)
    return out.Fail(kQueryNo, "usage",
                    L"the command \"" + arguments.Command + L"\" is not known" + help);
  const std::wstring command = shape->Name;
  if (arguments.Detect && command != L"has")
    return out.Fail(kQueryNo, "usage",
                    L"--detect belongs to has, not to " + command +
                        L"; has ServiceName --detect is the detection form");
  if (arguments.ForInstall && command != L"doctor" && command != L"plan")
    return out.Fail(kQueryNo, "usage",
                    L"--install belongs to doctor and plan, not to " + command +
                        L"; doctor ServiceName --install checks what an install needs");
  if (arguments.ForInstall && command == L"plan" && !arguments.OperandGiven)
    return out.Fail(kQueryNo, "usage",
                    L"plan --install needs a service name: plan --install ServiceName "
                    L"[profile:Name] [displayname:Name]");
  if (arguments.OperandGiven && !shape->TakesOperand)
    return out.Fail(kQueryNo, "usage",
                    command + L" takes no argument, and \"" + arguments.Operand +
                        L"\" was given; leave it out" + help);
  if (!arguments.Extra.empty())
    return out.Fail(kQueryNo, "usage",
                    command + L" takes one argument, and \"" + arguments.Extra.front() +
                        L"\" came after \"" + arguments.Operand +
                        L"\"; quote a name that holds blanks");
  if (arguments.ProfileGiven && command == L"plan" && !arguments.OperandGiven)
    return out.Fail(kQueryNo, "usage",
                    L"plan takes profile: only with a service name (plan [profile:Name] "
                    L"ServiceName): the cleanup alone is the user's data folder's, whichever "
                    L"profile holds the service");
  if (arguments.ProfileGiven && !shape->TakesProfile)
    return out.Fail(kQueryNo, "usage",
                    command +
                        L" takes no profile: only services, has, doctor and plan with a "
                        L"service name choose a profile");
  return kQueryOk;
}

int RunCommand(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
               QueryOutput& out) {
  const std::wstring& command = arguments.Command;
  if (command == L"profiles") return ListProfilesCommand(mapi, out);
  if (command == L"services") return ListServicesCommand(mapi, arguments, out);
  if (command == L"has") return HasServiceCommand(mapi, arguments, out);
  if (command == L"plan") return PlanCommand(mapi, arguments, out);
  if (command == L"bitness") return BitnessCommand(mapi, out);
  if (command == L"doctor") return DoctorCommand(mapi, arguments, GatherRunFacts(), out);
  if (command == L"error") return ErrorCommand(arguments.Operand, out);
  return VersionCommand(out);
}

// The commands that start MAPI run in the twin build beside a mail client of
// the other bitness, with the same arguments; where the twin is missing they
// say which build to install (doctor instead names the mismatch among its
// checks). nullopt when this build answers.
std::optional<int> HandOverToTwin(const std::vector<std::wstring>& args,
                                  const QueryArguments& arguments, QueryOutput& out) {
  const std::wstring& command = arguments.Command;
  const bool loadsMapi = command == L"profiles" || command == L"services" || command == L"has" ||
                         command == L"doctor" || (command == L"plan" && arguments.OperandGiven);
  if (!loadsMapi) return std::nullopt;
  const RunFacts facts = GatherRunFacts();
  const TwinHandOver twin = DecideTwinHandOver(facts);
  if (twin.Need == TwinNeed::kNone || (twin.Need != TwinNeed::kRun && command == L"doctor"))
    return std::nullopt;
  if (twin.Need == TwinNeed::kMissing || twin.Need == TwinNeed::kRefused)
    return out.Fail(kQueryCannotTell, "bitness", MissingTwinAdvice(twin, facts));
  platform::SystemError error;
  const std::optional<int> exitCode = RunTwin(twin, args, error);
  if (exitCode) return exitCode;
  return out.Fail(kQueryCannotTell, "bitness",
                  L"the " + twin.Bitness + L" build " + twin.Path + L" could not be started: " +
                      platform::DescribeSystemError(error));
}

}  // namespace

int RunQuery(const std::vector<std::wstring>& args, const platform::MapiEntryPoints& mapi) {
  const QueryArguments arguments = ParseQueryArguments(args);
  if (arguments.Help) {
    platform::WriteStandardOutput(kUsage);
    return kQueryOk;
  }
  QueryOutput out(arguments.Json);
  const CommandShape* shape = FindCommand(arguments.Command);
  int code = CheckUsage(arguments, shape, out);
  if (out.Failed()) {
    // On standard error: a script that reads the output must not take the
    // usage text for an answer.
    if (!arguments.Json) platform::WriteStandardError(kUsage);
  } else if (const std::optional<int> handedOver = HandOverToTwin(args, arguments, out)) {
    // The twin printed its own answer; only a failure to hand over is this one's.
    if (!out.Failed()) return *handedOver;
    code = *handedOver;
  } else {
    code = RunCommand(mapi, arguments, out);
  }
  out.Print();
  return code;
}

}  // namespace kalinor
