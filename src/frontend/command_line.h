// The command line: the usage request, the argument rules and the usage text.
#pragma once

#include <string>
#include <vector>

namespace kalinor {

/// What the arguments ask for. Values keep the case they were typed in.
struct RunSettings {
  bool InstallMode = true;   // "-u" or "/u" selects uninstall
  std::wstring ProfileName;  // from "profile:"; empty means none named
  std::wstring DisplayName;  // from "displayname:"; empty means none given
  std::wstring ServiceName;  // the last plain argument; may be empty
};

/// True for no arguments, or for exactly one that is "/?" or "-?".
bool IsUsageRequest(const std::vector<std::wstring>& args);

/// Applies the argument rules in order; later arguments of a kind win.
RunSettings ParseArguments(const std::vector<std::wstring>& args);

/// Writes the four usage texts to standard output, one write each.
void PrintUsage();

}  // namespace kalinor
