#include "frontend/run_sequence.h"
#include "platform/command_line.h"
#include "platform/mapi.h"

int main(int argc, char** argv) {
  return kalinor::RunKalinor(kalinor::platform::CommandLineArguments(argc, argv),
                             kalinor::platform::SystemMapi(), kalinor::SettingsCleanup());
}
