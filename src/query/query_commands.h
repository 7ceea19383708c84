// kalinor-query: read-only answers for administrators. Nothing it runs
// creates or writes a profile, file, folder or registry value.
#pragma once

#include <string>
#include <vector>

#include "platform/mapi.h"

namespace kalinor {

/// Exit codes shared by the commands.
inline constexpr int kQueryOk = 0;
/// "not installed", a bitness mismatch, an unknown error code, a usage error.
inline constexpr int kQueryNo = 1;
/// The answer could not be found: MAPI or a table failed, no data folder.
inline constexpr int kQueryCannotTell = 2;

/// Runs one command (profiles, services, has, plan, bitness, doctor, error, --help,
/// --version; in any case; "--json" anywhere asks for one JSON document) and
/// writes its answer to standard output. A command that fails, or arguments
/// that fit no command, write one line to standard error that says what
/// failed and what to do (with --json also an "error" member: code, name,
/// message); MAPI's own failures also go to the debugger channel. Returns
/// the exit code.
int RunQuery(const std::vector<std::wstring>& args, const platform::MapiEntryPoints& mapi);

}  // namespace kalinor
