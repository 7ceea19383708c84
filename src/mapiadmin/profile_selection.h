// Choosing the profile and opening its service administration.
#pragma once

#include <string>
#include <vector>

#include "mapiadmin/service_admin_holder.h"
#include "platform/mapi.h"

namespace kalinor {

/// Why a profile is opened, for what is said when there is none: a run that
/// adds or removes a service says "There is no profile, unable to add
/// service."; a look that changes nothing, "There is no profile.".
enum class ProfilePurpose { kChange, kLook };

/// Opens the service administration of the named profile (null or empty:
/// the single or default profile) into the holder. True when the holder now
/// holds one; false after any failure, which leaves the holder empty and is
/// reported on the debugger channel. adminServicesFailure, when given, gets
/// AdminServices' own failure (MAPI_E_NOT_FOUND: no profile of that name),
/// S_OK when the failure came before it.
bool OpenServiceAdmin(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                      const wchar_t* profileName, ProfilePurpose purpose = ProfilePurpose::kChange,
                      HRESULT* adminServicesFailure = nullptr);

/// One row of MAPI's profile table.
struct ProfileRow {
  std::wstring Name;       ///< "" for a row without a display name
  bool IsDefault = false;  ///< PR_DEFAULT_PROFILE set
};

/// Reads the whole profile table in table order. S_OK with the rows; else
/// the failing call's result, reported nowhere.
[[nodiscard]] HRESULT ListProfiles(const platform::MapiEntryPoints& mapi, IProfAdmin* profAdmin,
                                   std::vector<ProfileRow>& profiles);

/// Picks the only profile, or else the first named one flagged as default.
/// True with profileName set (never empty); false, reported, leaves it as is.
bool ChooseProfile(const platform::MapiEntryPoints& mapi, IProfAdmin* profAdmin,
                   std::wstring& profileName, ProfilePurpose purpose = ProfilePurpose::kChange);

}  // namespace kalinor
