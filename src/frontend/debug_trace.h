// DebugTrace: the one formatting operation for the debugger output channel.
#pragma once

namespace kalinor {

/// Formats printf-style (HRESULTs as unsigned 32-bit under "%#X"), appends
/// one line feed and passes the whole text to the debugger channel in one
/// write. A null format raises CAtlException(E_INVALIDARG) and writes nothing.
void DebugTrace(const wchar_t* format, ...);

}  // namespace kalinor
