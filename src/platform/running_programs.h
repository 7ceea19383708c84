// Whether a program runs beside this one, such as a mail client that holds
// the MAPI profile and the connector's files open.
#pragma once

#include <string>

namespace kalinor::platform {

/// True when a process whose executable is named `executable_name` (a file
/// name such as "OUTLOOK.EXE", compared without letter case) runs in this
/// process's session. Windows: the Toolhelp process snapshot and
/// ProcessIdToSessionId. POSIX: the real process list (/proc: the process
/// name, or the base name of its executable) and getsid(). False when the
/// process list cannot be read, and for an empty name.
bool IsProgramRunningInSession(const std::wstring& executable_name);

}  // namespace kalinor::platform
