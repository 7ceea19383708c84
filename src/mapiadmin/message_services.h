// Installing and uninstalling a message service by its service name.
#pragma once

#include <string>
#include <vector>

#include "mapiadmin/mapi_table.h"
#include "mapiadmin/service_admin_holder.h"
#include "platform/mapi.h"

namespace kalinor {

/// Looks the service name up in the profile's service table (read afresh),
/// ignoring the case of ASCII letters. True when a row matches and, if uid
/// is given, that row's 16-byte identifier was copied into it. A failed table
/// read is given to report (when set) and gives false. The holder must hold a
/// service administration.
bool FindService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                 std::wstring serviceName, const TableFailureReport& report,
                 MAPIUID* uid = nullptr);

/// One row of a profile's service table.
struct ServiceRow {
  std::string Name;          ///< PR_SERVICE_NAME_A, 8-bit as MAPI gives it
  std::wstring DisplayName;  ///< PR_DISPLAY_NAME_A as UTF-16; "" when absent
};

/// Reads the whole service table in table order. S_OK with the rows; else
/// the failing call's result, reported nowhere. The holder must hold a
/// service administration.
[[nodiscard]] HRESULT ListServices(const platform::MapiEntryPoints& mapi,
                                   ServiceAdminHolder& holder, std::vector<ServiceRow>& services);

/// True when the row carries the service name, by the rule of FindService.
bool IsServiceNamed(const ServiceRow& row, const std::wstring& serviceName);

/// How an install or uninstall ended.
enum class [[nodiscard]] ServiceOutcome {
  kDone,              // created and configured; or no service of the name is left
  kAlreadyInstalled,  // install found the name present and changed nothing
  kNoServiceAdmin,    // install without a service administration
  kFailed,  // creation, configuration or deletion failed, or the service table could not be read
};

/// Creates the service once and runs its configuration without interface.
/// kDone when it was created and configured; kFailed when the creation, the
/// configuration or a table read failed; the other outcomes create nothing.
/// Every outcome but kDone is reported: a failed table read to report (when
/// set), the others on the debugger channel.
ServiceOutcome InstallService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                              std::wstring serviceName, std::wstring displayName,
                              const TableFailureReport& report);

/// Deletes every service of the name, one per pass. kDone when none is left
/// (none was there, too); kFailed when a deletion failed or the service
/// table could not be read (given to report, when set). The holder must
/// hold a service administration.
ServiceOutcome UninstallService(const platform::MapiEntryPoints& mapi, ServiceAdminHolder& holder,
                                std::wstring serviceName, const TableFailureReport& report);

}  // namespace kalinor
