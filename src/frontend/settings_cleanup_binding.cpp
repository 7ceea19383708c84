#include "frontend/run_sequence.h"
#include "settings/settings_cleanup.h"

namespace kalinor {

UninstallCleanup SettingsCleanup() { return UninstallCleanup{ClearStoreSettings, ClearArchiveUrl}; }

}  // namespace kalinor
