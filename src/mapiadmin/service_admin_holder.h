// The run's one IMsgServiceAdmin, shared by profile selection, install and
// uninstall. The run sequence releases it at shutdown.
#pragma once

#include "platform/mapi.h"

namespace kalinor {

struct ServiceAdminHolder {
  IMsgServiceAdmin* ServiceAdmin = nullptr;  // null until a profile is opened

  ServiceAdminHolder() = default;
  ServiceAdminHolder(const ServiceAdminHolder&) = delete;
  ServiceAdminHolder& operator=(const ServiceAdminHolder&) = delete;

  /// Releases the held interface, if any, and empties the holder.
  void Release() {
    if (ServiceAdmin != nullptr) ServiceAdmin->Release();
    ServiceAdmin = nullptr;
  }
};

}  // namespace kalinor
