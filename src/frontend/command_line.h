// The command line: what it asks for as a whole (the usage, the version, a
// switch not understood, or a run), the argument rules and the usage text.
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
  bool PerUser = false;      // "--per-user": a package's per-user step, once per user
  bool AtLogon =
      false;  // "--at-logon": the per-user step, install or removal as the package stands
  /// The plain arguments a later one replaced as the service name, in order.
  std::vector<std::wstring> PassedOver;
};

/// What the command line asks for before any argument rule applies. A switch
/// is an argument that begins with "-" or "/"; no service name or profile
/// value stands alone beginning with one, so a switch is never read as one.
enum class CommandLineRequest {
  kRun,            ///< install or uninstall, by the argument rules
  kUsage,          ///< no arguments, or a help switch anywhere among them
  kVersion,        ///< "--version" among the arguments, and no help switch
  kUnknownSwitch,  ///< a switch other than "-u" / "/u" and no help switch
};

struct CommandLineCheck {
  CommandLineRequest Request = CommandLineRequest::kRun;
  /// For kUnknownSwitch: the first switch not understood, as typed.
  std::wstring Argument;
};

/// Sorts the arguments: a help switch ("-?", "/?", "-h", "/h", "--help", in
/// any case) anywhere wins, then a switch not understood, then "--version"
/// (any case); else the arguments are a run.
CommandLineCheck CheckCommandLine(const std::vector<std::wstring>& args);

/// Applies the argument rules in order; later arguments of a kind win. Meant
/// for arguments CheckCommandLine found to be a run.
RunSettings ParseArguments(const std::vector<std::wstring>& args);

/// Writes the four usage texts to standard output, one write each.
void PrintUsage();

/// Writes the usage texts, then one line naming the argument not understood.
void PrintUnknownSwitch(const std::wstring& argument);

/// Writes "kalinor <version>" and a line feed to standard output.
void PrintVersion();

}  // namespace kalinor
