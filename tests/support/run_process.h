// Runs a program as a child process, for end-to-end tests of the tool.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kalinor::testing {

struct ProcessResult {
  int exitCode = -1;           // -1 when it could not be started or did not exit normally
  std::string standardOutput;  // everything it wrote to standard output, as bytes
  std::string standardError;   // the same for standard error (POSIX; empty on Windows)
};

/// Starts program with args (bytes, passed as they are) and exactly the given
/// environment, waits for it and collects its standard output.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& environment);

}  // namespace kalinor::testing
