#include "mapiadmin/profile_selection.h"

#include "report/debug_trace.h"
#include "mapiadmin/mapi_ptr.h"
#include "platform/text.h"

namespace kalinor {
namespace {

// A row's display name as UTF-16; empty when it has none.
std::wstring ProfileRowName(const SRow& row) {
  const SPropValue* name = FindProperty(row, PR_DISPLAY_NAME_A);
  if (name == nullptr || name->Value.lpszA == nullptr) return {};
  return platform::FromAnsiCodePage(name->Value.lpszA);
}

bool IsDefaultProfileRow(const SRow& row) {
  const SPropValue* flag = FindProperty(row, PR_DEFAULT_PROFILE);
  return flag != nullptr && flag->Value.b != 0;
}

}  // namespace

bool ChooseProfile(const platform::MapiEntryPoints& mapi, IProfAdmin* profAdmin,
                   std::wstring& profileName) {
  InterfacePtr<IMAPITable> table;
  HRESULT result = profAdmin->GetProfileTable(0, table.Receive());
  if (result != S_OK) {
    DebugTrace(L"Error getting profiles table: %#X", HResultBits(result));
    return false;
  }
  ULONG count = 0;
  result = table->GetRowCount(0, &count);
  if (result != S_OK) {
    DebugTrace(L"Error getting profiles count: %#X", HResultBits(result));
    return false;
  }
  if (count == 0) {
    DebugTrace(L"There is no profile, unable to add service.");
    return false;
  }
  RowSetPtr rows(mapi);
  result = table->QueryRows(static_cast<LONG>(count), 0, rows.Receive());
  if (result != S_OK) {
    DebugTrace(L"Error getting profile rows: %#X", HResultBits(result));
    return false;
  }
  std::wstring chosen;
  const LPSRowSet set = rows.Get();
  for (ULONG i = 0; set != nullptr && i < set->cRows && chosen.empty(); ++i) {
    const SRow& row = set->aRow[i];
    const bool candidate = count == 1 || IsDefaultProfileRow(row);
    if (candidate) chosen = ProfileRowName(row);
  }
  if (chosen.empty()) {
    DebugTrace(L"Unable to find a default profile.");
    return false;
  }
  profileName = chosen;
  return true;
}

HRESULT ListProfiles(const platform::MapiEntryPoints& mapi, IProfAdmin* profAdmin,
                     std::vector<ProfileRow>& profiles) {
  InterfacePtr<IMAPITable> table;
  HRESULT result = profAdmin->GetProfileTable(0, table.Receive());
  if (result != S_OK) return result;
  RowSetPtr rows(mapi);
  result = QueryAllRows(table.Get(), rows);
  if (result != S_OK) return result;
  const LPSRowSet set = rows.Get();
  for (ULONG i = 0; set != nullptr && i < set->cRows; ++i)
    profiles.push_back({ProfileRowName(set->aRow[i]), IsDefaultProfileRow(set->aRow[i])});
  return S_OK;
}

bool OpenServiceAdmin(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                      const wchar_t* profileName) {
  std::wstring name = profileName != nullptr ? profileName : L"";
  holder.Release();

  InterfacePtr<IProfAdmin> profAdmin;
  const HRESULT adminResult = mapi.MAPIAdminProfiles(0, profAdmin.Receive());
  if (adminResult != S_OK) {
    DebugTrace(L"Error getting admin profile: %#X", HResultBits(adminResult));
    return false;
  }
  if (name.empty() && !ChooseProfile(mapi, profAdmin.Get(), name)) return false;

  DebugTraceText(L"Getting admin services for profile:");
  DebugTraceText(name);

  // MAPI_UNICODE: the name travels as UTF-16 through MAPI's LPTSTR.
  const HRESULT result = profAdmin->AdminServices(reinterpret_cast<LPTSTR>(name.data()), nullptr, 0,
                                                  MAPI_UNICODE, holder.ServiceAdmin.Receive());
  if (result != S_OK) {
    holder.ServiceAdmin.Detach();  // never trust (or release) an out-parameter after a failure
    DebugTrace(L"Error getting a service admin: %#X", HResultBits(result));
    return false;
  }
  return true;
}

}  // namespace kalinor
