// kalinor-query: the system's arguments and MAPI, handed to the commands.
#include "platform/command_line.h"
#include "platform/mapi.h"
#include "platform/process_info.h"
#include "query/query_commands.h"

int main(int argc, char** argv) {
  // As kalinor: no planted junction followed where the system can refuse
  // it, and no DLL loaded from the folder the program was started in.
  kalinor::platform::EnableRedirectionGuard();
  kalinor::platform::RemoveCurrentFolderFromDllSearch();
  return kalinor::RunQuery(kalinor::platform::CommandLineArguments(argc, argv),
                           kalinor::platform::SystemMapi());
}
