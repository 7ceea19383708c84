// The program's arguments as wide text.
#pragma once

#include <string>
#include <vector>

namespace kalinor::platform {

/// The arguments after the program name. On Windows they come from the
/// process's own wide command line (argc and argv are ignored); on POSIX
/// from argv, decoded as UTF-8 with undecodable bytes kept (see FromUtf8).
std::vector<std::wstring> CommandLineArguments(int argc, char** argv);

}  // namespace kalinor::platform
