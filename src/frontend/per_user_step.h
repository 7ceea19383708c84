// The per-user step: the install or removal a package runs for each user, by
// its own custom action for the user who installs it and at every logon for
// everyone. It is done once per user and recorded in the user's own folder,
// is quiet while the user has no MAPI profile yet (Outlook makes one at its
// first start), and after a service was recorded as added it never adds it
// again: a service someone removed stays removed.
#pragma once

#include <string>

#include "platform/registry.h"

namespace kalinor {

/// What the per-user record says was last done for a service.
enum class PerUserState {
  kNone,                ///< nothing recorded
  kInstalled,           ///< added
  kRemoved,             ///< removed while the package stayed: the user's own choice
  kRemovedWithPackage,  ///< removed because the package went
  kUnreadable,          ///< a record is there but cannot be read: act on nothing
};

/// The user's per-user folder, "<local application data>\Kalinor", which
/// holds the records and the step's log ("kalinor.log"); "" when the local
/// application-data folder is unknown.
std::wstring PerUserFolder();

/// The step's log file in PerUserFolder(); "" when that is unknown.
std::wstring PerUserLogPath();

/// The record of the service, "<ServiceName>.state" in PerUserFolder():
/// kNone when there is none (or the service name is no plain file name),
/// kUnreadable when one may be there but cannot be read.
PerUserState ReadPerUserState(const std::wstring& serviceName);

/// Records state for the service, whole or not at all (the folder made
/// first). False when it could not be recorded.
bool WritePerUserState(const std::wstring& serviceName, PerUserState state);

/// Points KALINOR_LOG at PerUserLogPath() (its folder made first) unless it
/// is set already, so that every per-user step leaves its lines where the
/// package's documents say. Nothing when the folder is unknown.
void UsePerUserLogUnlessSet();

/// Whether the package is installed: it keeps the service it installs as
/// "ServiceName" in HKEY_LOCAL_MACHINE\Software\Kalinor (the 64-bit view).
/// kUnknown when that cannot be read: then neither act is taken.
platform::RegistryPresence PackagePresence();

}  // namespace kalinor
