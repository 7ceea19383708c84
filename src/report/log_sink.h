// The run log's line sink: where its lines go and how a debugger-channel
// write becomes one of them. What goes into the log, and whether there is one
// at all, is the program's decision (frontend/run_log.h).
#pragma once

#include <string>
#include <string_view>

#include "platform/debug_output.h"
#include "platform/process_info.h"

namespace kalinor {

enum class LogTarget { kNone, kFile, kStandardError };

/// How a stamped line is laid out: the timestamp and the text, or
/// Configuration Manager's log line (report/cmtrace_format.h).
enum class LogFormat { kPlain, kCmTrace };

/// Lays stamped lines out in format from now on (kPlain until set).
void SetLogFormat(LogFormat format);

/// Sends the log's lines to target from now on: the standard error stream,
/// nowhere, or for kFile the file at path, opened here once (appended to;
/// no link followed, a regular file with one link: platform/log_output.h)
/// and written through that one handle until the target changes. Returns ""
/// when the target is set; else why the file was not opened, and the target
/// is then kNone.
std::wstring SetLogTarget(LogTarget target, const std::wstring& path = {});

/// True while a target other than kNone is set.
bool HasLogTarget();

/// True when the log is written to standard error.
bool LogTargetIsStandardError();

/// text as one log line: a trailing line feed dropped, every other control
/// or separator character (line breaks, U+0085, U+2028, bidirectional
/// controls) shown as an escape (platform::EscapeLineText), so that no text
/// can end a line or forge one.
std::wstring LogLineText(std::wstring_view text);

/// Writes LogLineText(text) as one line. False when no target is set or the
/// line could not be written.
bool WriteLogLine(std::wstring_view text);

/// Writes LogLineText(text) as one line stamped with time in the format set:
/// behind FormatTimestamp(time) and a blank, or as a CMTrace line of the
/// severity's type. False when no target is set or the line could not be
/// written.
bool WriteLogEntry(std::wstring_view text, const platform::LocalTime& time,
                   platform::LineSeverity severity = platform::LineSeverity::kInformation);

/// Writes text as one line behind the current timestamp, with every HRESULT
/// named. A failure is swallowed: nothing the log does may change the run.
/// Fits platform::SetDebugOutputObserver.
void WriteStampedLogLine(std::wstring_view text,
                         platform::LineSeverity severity = platform::LineSeverity::kInformation);

/// text with " (NAME)" behind every "0X…" HRESULT whose name is known.
std::wstring NameHResults(std::wstring_view text);

/// An ISO-8601 local timestamp with milliseconds and the UTC offset, as
/// "2026-03-01T09:05:07.042+01:00".
std::wstring FormatTimestamp(const platform::LocalTime& time);

}  // namespace kalinor
