// The debugger output channel (OutputDebugStringW on Windows). On POSIX the
// channel is standard error, or the file named by $KALINOR_DEBUG_OUTPUT
// (appended), and each write shows as one line, as a debug viewer shows it.
#pragma once

#include <string_view>

namespace kalinor::platform {

/// Passes text to the debugger channel in one write. On POSIX a line feed is
/// appended when the text does not end in one. Failures are ignored. The
/// observer, when one is set, sees the text first (also under OutputCapture).
void WriteDebugOutput(std::wstring_view text);

/// Receives a copy of every debugger-channel write, exactly as passed.
using DebugOutputObserver = void (*)(std::wstring_view text);

/// Sets the one observer (null: none). Returns the one it replaces.
DebugOutputObserver SetDebugOutputObserver(DebugOutputObserver observer);

/// Passes text to the observer, if any. Called by WriteDebugOutput.
void NotifyDebugOutputObserver(std::wstring_view text);

}  // namespace kalinor::platform
