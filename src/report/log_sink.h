// The run log's line sink: where its lines go and how a debugger-channel
// write becomes one of them. What goes into the log, and whether there is one
// at all, is the program's decision (frontend/run_log.h).
#pragma once

#include <string>
#include <string_view>

#include "platform/process_info.h"

namespace kalinor {

enum class LogTarget { kNone, kFile, kStandardError };

/// How a stamped line is laid out: the timestamp and the text, or
/// Configuration Manager's log line (report/cmtrace_format.h).
enum class LogFormat { kPlain, kCmTrace };

/// Lays stamped lines out in format from now on (kPlain until set).
void SetLogFormat(LogFormat format);

/// Sends the log's lines to target from now on: the file at path for
/// kFile (appended to), the standard error stream, or nowhere.
void SetLogTarget(LogTarget target, std::wstring path = {});

/// True while a target other than kNone is set.
bool HasLogTarget();

/// Writes text as one line: a trailing line feed dropped, other line breaks
/// and control characters as spaces. False when no target is set or the
/// line could not be written.
bool WriteLogLine(std::wstring_view text);

/// Writes text as one line stamped with time in the format set: behind
/// FormatTimestamp(time) and a blank, or as a CMTrace line. False when no
/// target is set or the line could not be written.
bool WriteLogEntry(std::wstring_view text, const platform::LocalTime& time);

/// Writes text as one line behind the current timestamp, with every HRESULT
/// named. A failure is swallowed: nothing the log does may change the run.
/// Fits platform::SetDebugOutputObserver.
void WriteStampedLogLine(std::wstring_view text);

/// text with " (NAME)" behind every "0X…" HRESULT whose name is known.
std::wstring NameHResults(std::wstring_view text);

/// An ISO-8601 local timestamp with milliseconds and the UTC offset, as
/// "2026-03-01T09:05:07.042+01:00".
std::wstring FormatTimestamp(const platform::LocalTime& time);

}  // namespace kalinor
