// Installing and uninstalling a message service by its service name.
#pragma once

#include <string>
#include <vector>

#include "mapiadmin/service_admin_holder.h"
#include "platform/mapi.h"

namespace kalinor {

/// Looks the service name up in the profile's service table (read afresh),
/// ignoring the case of ASCII letters. True when a row matches and, if uid
/// is given, that row's 16-byte identifier was copied into it. A failed table
/// read is written to standard output and gives false. The holder must hold
/// a service administration.
bool FindService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                 std::wstring serviceName, MAPIUID* uid = nullptr);

/// One row of a profile's service table.
struct ServiceRow {
  std::string Name;          ///< PR_SERVICE_NAME_A, 8-bit as MAPI gives it
  std::wstring DisplayName;  ///< PR_DISPLAY_NAME_A as UTF-16; "" when absent
};

/// Reads the whole service table in table order. S_OK with the rows; else
/// the failing call's result, reported nowhere. The holder must hold a
/// service administration.
HRESULT ListServices(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                     std::vector<ServiceRow>& services);

/// True when the row carries the service name, by the rule of FindService.
bool IsServiceNamed(const ServiceRow& row, const std::wstring& serviceName);

/// Creates the service once and runs its configuration without interface.
/// True when it was created; false (reported) when there is no service
/// administration, the name is present already, or the creation failed.
bool InstallService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                    std::wstring serviceName, std::wstring displayName);

/// Deletes every service of the name, one per pass. False only when a
/// deletion failed. The holder must hold a service administration.
bool UninstallService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                      std::wstring serviceName);

}  // namespace kalinor
