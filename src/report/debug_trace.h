// DebugTrace: the one way to the debugger output channel for every
// subsystem; each write is also seen by the run log when one is open.
#pragma once

#include <initializer_list>
#include <string_view>

#include "platform/debug_output.h"

namespace kalinor {

/// Formats printf-style (HRESULTs as unsigned 32-bit under "%#X"), appends
/// one line feed and passes the whole text to the debugger channel in one
/// write, as an information line. A null format raises
/// CAtlException(E_INVALIDARG) and writes nothing.
void DebugTrace(const wchar_t* format, ...);

/// DebugTrace for a line that reports a failure (the "Error …" lines, a file
/// the run refused or could not change): the run log marks it as one.
void DebugTraceError(const wchar_t* format, ...);

/// Passes text to the debugger channel as it is, in one write, with no line
/// feed added: for texts (a profile name, a folder) that are reported
/// whole rather than formatted.
void DebugTraceText(std::wstring_view text,
                    platform::LineSeverity severity = platform::LineSeverity::kInformation);

/// Passes each of writes to the debugger channel as DebugTraceText does,
/// while the run log, when one is open, sees them as the one entry logText
/// (a label and its value in one line, a bare value with its label).
void DebugTraceForLog(std::initializer_list<std::wstring_view> writes, std::wstring_view logText);

}  // namespace kalinor
