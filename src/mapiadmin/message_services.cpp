#include "mapiadmin/message_services.h"

#include <cstring>
#include <string>

#include "mapiadmin/mapi_ptr.h"
#include "mapiadmin/mapi_table.h"
#include "platform/text.h"
#include "report/debug_trace.h"

namespace kalinor {
namespace {

bool NameMatches(const SRow& row, const std::string& name) {
  const SPropValue* rowName = FindProperty(row, PR_SERVICE_NAME_A);
  return rowName != nullptr && rowName->Value.lpszA != nullptr &&
         platform::EqualsIgnoringAsciiCase(rowName->Value.lpszA, name);
}

// Copies the row's identifier; false when the row has none of 16 bytes.
bool CopyServiceUid(const SRow& row, MAPIUID& uid) {
  const SPropValue* value = FindProperty(row, PR_SERVICE_UID);
  if (value == nullptr || value->Value.bin.lpb == nullptr || value->Value.bin.cb != sizeof uid.ab) {
    return false;
  }
  std::memcpy(uid.ab, value->Value.bin.lpb, sizeof uid.ab);
  return true;
}

enum class Lookup { kFound, kAbsent, kUnreadable };

std::optional<TableFailure> OpenServiceTable(ServiceAdminHolder& holder, WholeTable& table) {
  return OpenTable(
      [&](LPMAPITABLE* opened) { return holder.ServiceAdmin->GetMsgServiceTable(0, opened); },
      table);
}

// FindService, telling a service table that could not be read (given to
// report), or a matching row without its identifier, from a table without
// the name.
Lookup LookUpService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                     const std::wstring& serviceName, const TableFailureReport& report,
                     MAPIUID* uid) {
  const std::string name = platform::ToAnsiCodePage(serviceName);
  WholeTable table(mapi);
  if (const std::optional<TableFailure> failure = OpenServiceTable(holder, table)) {
    if (report) report(*failure);
    return Lookup::kUnreadable;
  }
  for (const SRow& row : table.Rows()) {
    if (!NameMatches(row, name)) continue;
    // The first match decides; later rows are not looked at.
    return uid == nullptr || CopyServiceUid(row, *uid) ? Lookup::kFound : Lookup::kUnreadable;
  }
  return Lookup::kAbsent;
}

}  // namespace

bool FindService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                 std::wstring serviceName, const TableFailureReport& report, MAPIUID* uid) {
  return LookUpService(mapi, holder, serviceName, report, uid) == Lookup::kFound;
}

HRESULT ListServices(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                     std::vector<ServiceRow>& services) {
  WholeTable table(mapi);
  if (const std::optional<TableFailure> failure = OpenServiceTable(holder, table))
    return failure->Result;
  for (const SRow& tableRow : table.Rows()) {
    const SPropValue* name = FindProperty(tableRow, PR_SERVICE_NAME_A);
    const SPropValue* display = FindProperty(tableRow, PR_DISPLAY_NAME_A);
    ServiceRow row;
    if (name != nullptr && name->Value.lpszA != nullptr) row.Name = name->Value.lpszA;
    if (display != nullptr && display->Value.lpszA != nullptr)
      row.DisplayName = platform::FromAnsiCodePage(display->Value.lpszA);
    services.push_back(std::move(row));
  }
  return S_OK;
}

bool IsServiceNamed(const ServiceRow& row, const std::wstring& serviceName) {
  return platform::EqualsIgnoringAsciiCase(row.Name, platform::ToAnsiCodePage(serviceName));
}

ServiceOutcome InstallService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                              std::wstring serviceName, std::wstring displayName,
                              const TableFailureReport& report) {
  if (!holder.ServiceAdmin) {
    DebugTrace(
        L"Unable to install service. First set the profile where the service should be installed.");
    return ServiceOutcome::kNoServiceAdmin;
  }
  const Lookup before = LookUpService(mapi, holder, serviceName, report, nullptr);
  if (before == Lookup::kFound) {
    DebugTrace(L"The service is already installed.");
    return ServiceOutcome::kAlreadyInstalled;
  }
  std::string service = platform::ToAnsiCodePage(serviceName);
  std::string display = platform::ToAnsiCodePage(displayName);
  const HRESULT result =
      holder.ServiceAdmin->CreateMsgService(service.data(), display.data(), 0, 0);
  if (result != S_OK) {
    DebugTraceError(L"Error installing service: %#X", HResultBits(result));
    return ServiceOutcome::kFailed;
  }
  MAPIUID uid{};
  HRESULT configured = MAPI_E_NOT_FOUND;
  if (FindService(mapi, holder, serviceName, report, &uid)) {
    configured = holder.ServiceAdmin->ConfigureMsgService(&uid, 0, 0, 0, nullptr);
    DebugTrace(L"Service configuration returned %#X", HResultBits(configured));
  }
  DebugTrace(L"Service installed.");
  // A table that could not be read may have hidden a service of the name.
  const bool done = configured == S_OK && before == Lookup::kAbsent;
  return done ? ServiceOutcome::kDone : ServiceOutcome::kFailed;
}

ServiceOutcome UninstallService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                                std::wstring serviceName, const TableFailureReport& report) {
  bool deletedAny = false;
  MAPIUID uid{};
  MAPIUID lastDeleted{};
  Lookup lookup;
  while ((lookup = LookUpService(mapi, holder, serviceName, report, &uid)) == Lookup::kFound) {
    // A service that is still listed after its deletion succeeded would be
    // found again without end: treat it as a failed deletion.
    const bool reappeared = deletedAny && std::memcmp(uid.ab, lastDeleted.ab, sizeof uid.ab) == 0;
    const HRESULT result =
        reappeared ? MAPI_E_CALL_FAILED : holder.ServiceAdmin->DeleteMsgService(&uid);
    if (result != S_OK) {
      DebugTraceError(L"Error uninstalling service: %#X", HResultBits(result));
      return ServiceOutcome::kFailed;
    }
    deletedAny = true;
    lastDeleted = uid;
  }
  DebugTrace(deletedAny ? L"Service uninstalled." : L"There is no such service installed.");
  return lookup == Lookup::kAbsent ? ServiceOutcome::kDone : ServiceOutcome::kFailed;
}

}  // namespace kalinor
