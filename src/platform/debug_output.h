// The debugger output channel (OutputDebugStringW on Windows). On POSIX the
// channel is standard error, or the file named by $KALINOR_DEBUG_OUTPUT
// (appended), and each write shows as one line, as a debug viewer shows it.
#pragma once

#include <string_view>

namespace kalinor::platform {

/// What a line reports, as its writer knows it: the run log marks warnings
/// and failures by this, never by reading the text.
enum class LineSeverity { kInformation, kWarning, kError };

/// Passes text to the debugger channel in one write, every control and
/// separator character in it shown as an escape (EscapeLineText; a trailing
/// line feed is kept as the line's end). On POSIX a line feed is appended
/// when the text does not end in one. Failures are ignored. The observer,
/// when one is set, sees the text first, as passed (also under OutputCapture).
void WriteDebugOutput(std::wstring_view text, LineSeverity severity = LineSeverity::kInformation);

/// While on, a channel that would write to standard error (POSIX without
/// $KALINOR_DEBUG_OUTPUT) writes nothing there: a run log on standard error
/// carries every line already. Windows' channel is never standard error.
void SetDebugOutputQuietOnStandardError(bool quiet);

/// Whether the channel keeps off standard error now.
bool DebugOutputQuietOnStandardError();

/// Receives a copy of every debugger-channel write, exactly as passed, with
/// its severity.
using DebugOutputObserver = void (*)(std::wstring_view text, LineSeverity severity);

/// Sets the one observer (null: none). Returns the one it replaces.
DebugOutputObserver SetDebugOutputObserver(DebugOutputObserver observer);

/// Passes text to the observer, if any. Called by WriteDebugOutput.
void NotifyDebugOutputObserver(std::wstring_view text, LineSeverity severity);

/// text as the channel writes it: EscapeLineText over all but one trailing
/// line feed, which is kept.
std::wstring DebugChannelText(std::wstring_view text);

}  // namespace kalinor::platform
