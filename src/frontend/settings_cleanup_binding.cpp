#include "frontend/run_sequence.h"

namespace kalinor {

// The settings subsystem's cleanup arrives later; until then an uninstall
// clears nothing beyond the MAPI profile.
UninstallCleanup SettingsCleanup() {
  return UninstallCleanup{[] {}, [] {}};
}

}  // namespace kalinor
