// The log line format that Configuration Manager's log viewers (CMTrace,
// OneTrace, the Support Center viewer) read, so that admins see the run log
// with its warnings and failures marked.
#pragma once

#include <string>
#include <string_view>

#include "platform/debug_output.h"
#include "platform/process_info.h"

namespace kalinor {

/// CMTrace's severity of a line: 1 information, 2 warning, 3 failure.
enum class CmTraceType { kInformation = 1, kWarning = 2, kFailure = 3 };

/// The CMTrace type of a line its writer reported with severity; the text
/// itself is never read for it (a profile named "Error …" is no failure).
CmTraceType CmTraceTypeOf(platform::LineSeverity severity);

/// text as one CMTrace line, without its line feed:
/// <![LOG[text]LOG]!><time="HH:MM:SS.mmm+bias" date="MM-DD-YYYY"
/// component="kalinor" context="" type="1" thread="N" file="">
/// where bias is the minutes west of UTC (UTC+1 gives "-60", UTC "+000").
/// and type is CmTraceTypeOf(severity). A "]LOG]!>" inside text would end
/// the entry early, and a "<![LOG[" would start a forged one: they are
/// written as "]LOG]!&gt;" and "&lt;![LOG[". text must be one line already
/// (the log sink escapes it). Never fails but for memory.
std::wstring FormatCmTraceLine(std::wstring_view text, platform::LineSeverity severity,
                               const platform::LocalTime& time, unsigned long thread);

}  // namespace kalinor
