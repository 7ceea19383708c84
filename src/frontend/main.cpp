// The program: the system's arguments and MAPI, and the settings subsystem's
// two cleanup operations, handed to the run sequence.
#include "frontend/run_sequence.h"
#include "platform/command_line.h"
#include "platform/mapi.h"
#include "settings/settings_cleanup.h"

int main(int argc, char** argv) {
  const kalinor::UninstallCleanup cleanup{kalinor::ClearStoreSettings, kalinor::ClearArchiveUrl};
  return kalinor::RunKalinor(kalinor::platform::CommandLineArguments(argc, argv),
                             kalinor::platform::SystemMapi(), cleanup);
}
