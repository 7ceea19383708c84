// kalinor-query: the system's arguments and MAPI, handed to the commands.
#include "platform/command_line.h"
#include "platform/mapi.h"
#include "query/query_commands.h"

int main(int argc, char** argv) {
  return kalinor::RunQuery(kalinor::platform::CommandLineArguments(argc, argv),
                           kalinor::platform::SystemMapi());
}
