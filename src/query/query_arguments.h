// kalinor-query's arguments: the command, "--json", and what follows the
// command.
#pragma once

#include <string>
#include <vector>

namespace kalinor {

/// What kalinor-query's arguments ask for. Values keep the case they were
/// typed in.
struct QueryArguments {
  std::wstring Command;      ///< the first non-empty argument other than "--json"
  bool Json = false;         ///< "--json" anywhere
  std::wstring ProfileName;  ///< from "profile:"; empty means none named
  /// The last plain argument after the command: the service name of "has",
  /// the code of "error"; may be empty.
  std::wstring Operand;
};

/// Splits the arguments. After the command, kalinor's own rules apply, so
/// that a line copied from a kalinor call reads the same: "profile:" (any
/// case) names the profile, "-u", "/u" and "displayname:" are taken as
/// kalinor's options and ignored, and a later argument of a kind wins.
QueryArguments ParseQueryArguments(const std::vector<std::wstring>& args);

}  // namespace kalinor
