#include "mapiadmin/profile_selection.h"

#include "mapiadmin/mapi_ptr.h"
#include "mapiadmin/mapi_table.h"
#include "platform/text.h"
#include "report/debug_trace.h"

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

// The profile table's failures as ChooseProfile reports them.
void ReportProfileTableFailure(const TableFailure& failure) {
  const wchar_t* format = L"Error getting profile rows: %#X";
  if (failure.Step == TableStep::kOpen) format = L"Error getting profiles table: %#X";
  if (failure.Step == TableStep::kCount) format = L"Error getting profiles count: %#X";
  DebugTraceError(format, HResultBits(failure.Result));
}

std::optional<TableFailure> OpenProfileTable(IProfAdmin* profAdmin, WholeTable& table) {
  return OpenTable([&](LPMAPITABLE* opened) { return profAdmin->GetProfileTable(0, opened); },
                   table);
}

}  // namespace

bool ChooseProfile(const platform::MapiEntryPoints& mapi, IProfAdmin* profAdmin,
                   std::wstring& profileName, ProfilePurpose purpose) {
  WholeTable table(mapi);
  if (const std::optional<TableFailure> failure = OpenProfileTable(profAdmin, table)) {
    ReportProfileTableFailure(*failure);
    return false;
  }
  if (table.Count() == 0) {
    DebugTrace(purpose == ProfilePurpose::kChange ? L"There is no profile, unable to add service."
                                                  : L"There is no profile.");
    return false;
  }
  std::wstring chosen;
  for (const SRow& row : table.Rows()) {
    const bool candidate = table.Count() == 1 || IsDefaultProfileRow(row);
    if (candidate) chosen = ProfileRowName(row);
    if (!chosen.empty()) break;
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
  WholeTable table(mapi);
  if (const std::optional<TableFailure> failure = OpenProfileTable(profAdmin, table))
    return failure->Result;
  for (const SRow& row : table.Rows())
    profiles.push_back({ProfileRowName(row), IsDefaultProfileRow(row)});
  return S_OK;
}

bool OpenServiceAdmin(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                      const wchar_t* profileName, ProfilePurpose purpose,
                      HRESULT* adminServicesFailure) {
  if (adminServicesFailure != nullptr) *adminServicesFailure = S_OK;
  std::wstring name = profileName != nullptr ? profileName : L"";
  holder.Release();

  InterfacePtr<IProfAdmin> profAdmin;
  const HRESULT adminResult = mapi.MAPIAdminProfiles(0, profAdmin.Receive());
  if (adminResult != S_OK) {
    DebugTraceError(L"Error getting admin profile: %#X", HResultBits(adminResult));
    return false;
  }
  if (name.empty() && !ChooseProfile(mapi, profAdmin.Get(), name, purpose)) return false;

  DebugTraceForLog({L"Getting admin services for profile:", name},
                   L"Getting admin services for profile: " + name);

  // MAPI_UNICODE: the name travels as UTF-16 through MAPI's LPTSTR.
  const HRESULT result = profAdmin->AdminServices(reinterpret_cast<LPTSTR>(name.data()), nullptr, 0,
                                                  MAPI_UNICODE, holder.ServiceAdmin.Receive());
  if (result != S_OK) {
    holder.ServiceAdmin.Detach();  // never trust (or release) an out-parameter after a failure
    DebugTraceError(L"Error getting a service admin: %#X", HResultBits(result));
    if (adminServicesFailure != nullptr) *adminServicesFailure = result;
    return false;
  }
  return true;
}

}  // namespace kalinor
