// kalinor-query's arguments: the command, its options, and what follows the
// command.
#pragma once

#include <string>
#include <vector>

namespace kalinor {

/// What kalinor-query's arguments ask for. Values keep the case they were
/// typed in; the command and the options match in any case.
struct QueryArguments {
  /// The first non-empty argument that is no option, lower-cased; or
  /// "--version".
  std::wstring Command;
  bool Json = false;          ///< "--json" anywhere
  bool Detect = false;        ///< "--detect" anywhere: has prints nothing when absent
  bool ForInstall = false;    ///< "--install" anywhere: doctor checks, plan plans, an install
  std::wstring DisplayName;   ///< from "displayname:", as kalinor takes it; "" when none
  bool Help = false;          ///< "--help", "-h", "/h", "-?" or "/?" anywhere
  std::wstring ProfileName;   ///< from "profile:"; empty means none named
  bool ProfileGiven = false;  ///< a "profile:" argument was given at all
  /// The plain argument after the command: the service name of "has" and
  /// "doctor", the code of "error"; may be empty.
  std::wstring Operand;
  bool OperandGiven = false;  ///< a plain argument followed the command
  /// Plain arguments after the first one, as typed: no command takes them.
  std::vector<std::wstring> Extra;
  /// The first argument beginning with "-" or "/" that is no option, as typed.
  std::wstring Unknown;
};

/// Splits the arguments. After the command, kalinor's own rules apply, so
/// that a line copied from a kalinor call reads the same: "profile:" (any
/// case) names the profile, and "-u", "/u" and "displayname:" are taken as
/// kalinor's options and ignored. A negative decimal number after "error" is
/// its operand, not an option.
QueryArguments ParseQueryArguments(const std::vector<std::wstring>& args);

}  // namespace kalinor
