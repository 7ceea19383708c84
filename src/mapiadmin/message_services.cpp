#include "mapiadmin/message_services.h"

#include <cstring>
#include <string>

#include "frontend/debug_trace.h"
#include "mapiadmin/mapi_ptr.h"
#include "platform/console.h"
#include "platform/text.h"

namespace kalinor {
namespace {

// The service-table errors go to standard output, without a line break.
void PrintTableError(const wchar_t* format, HRESULT result) {
  platform::WriteStandardOutput(platform::FormatText(format, HResultBits(result)));
}

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

}  // namespace

bool FindService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                 std::wstring serviceName, MAPIUID* uid) {
  const std::string name = platform::ToAnsiCodePage(serviceName);
  InterfacePtr<IMAPITable> table;
  HRESULT result = holder.ServiceAdmin->GetMsgServiceTable(0, table.Receive());
  if (result != S_OK) {
    PrintTableError(L"Error getting services table: %#X", result);
    return false;
  }
  ULONG count = 0;
  result = table->GetRowCount(0, &count);
  if (result != S_OK) {
    PrintTableError(L"Error getting the services count: %#X", result);
    return false;
  }
  if (count == 0) return false;
  RowSetPtr rows(mapi);
  result = table->QueryRows(static_cast<LONG>(count), 0, rows.Receive());
  if (result != S_OK) {
    PrintTableError(L"Error getting service rows: %#X", result);
    return false;
  }
  const LPSRowSet set = rows.Get();
  for (ULONG i = 0; set != nullptr && i < set->cRows; ++i) {
    const SRow& row = set->aRow[i];
    if (!NameMatches(row, name)) continue;
    // The first match decides; later rows are not looked at.
    return uid == nullptr || CopyServiceUid(row, *uid);
  }
  return false;
}

bool InstallService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                    std::wstring serviceName, std::wstring displayName) {
  if (!holder.ServiceAdmin) {
    DebugTrace(
        L"Unable to install service. First set the profile where the service should be installed.");
    return false;
  }
  if (FindService(mapi, holder, serviceName)) {
    DebugTrace(L"The service is already installed.");
    return false;
  }
  std::string service = platform::ToAnsiCodePage(serviceName);
  std::string display = platform::ToAnsiCodePage(displayName);
  const HRESULT result =
      holder.ServiceAdmin->CreateMsgService(service.data(), display.data(), 0, 0);
  if (result != S_OK) {
    DebugTrace(L"Error installing service: %#X", HResultBits(result));
    return false;
  }
  MAPIUID uid{};
  if (FindService(mapi, holder, serviceName, &uid)) {
    const HRESULT configured = holder.ServiceAdmin->ConfigureMsgService(&uid, 0, 0, 0, nullptr);
    DebugTrace(L"Service configuration returned %#X", HResultBits(configured));
  }
  DebugTrace(L"Service installed.");
  return true;
}

bool UninstallService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                      std::wstring serviceName) {
  bool deletedAny = false;
  MAPIUID uid{};
  MAPIUID lastDeleted{};
  while (FindService(mapi, holder, serviceName, &uid)) {
    // A service that is still listed after its deletion succeeded would be
    // found again without end: treat it as a failed deletion.
    const bool reappeared = deletedAny && std::memcmp(uid.ab, lastDeleted.ab, sizeof uid.ab) == 0;
    const HRESULT result =
        reappeared ? MAPI_E_CALL_FAILED : holder.ServiceAdmin->DeleteMsgService(&uid);
    if (result != S_OK) {
      DebugTrace(L"Error uninstalling service: %#X", HResultBits(result));
      return false;
    }
    deletedAny = true;
    lastDeleted = uid;
  }
  DebugTrace(deletedAny ? L"Service uninstalled." : L"There is no such service installed.");
  return true;
}

}  // namespace kalinor
