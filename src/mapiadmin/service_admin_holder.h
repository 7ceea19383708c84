// The run's one IMsgServiceAdmin, shared by profile selection, install and
// uninstall. The run sequence releases it at shutdown.
#pragma once

#include "platform/mapi.h"
#include "platform/scoped_handle.h"

namespace kalinor {

struct ServiceAdminHolder {
  /// Empty until a profile is opened; released once, at the latest when the
  /// holder goes.
  platform::InterfacePtr<IMsgServiceAdmin> ServiceAdmin;

  /// Releases the held interface, if any, and empties the holder.
  void Release() { ServiceAdmin.Reset(); }
};

}  // namespace kalinor
