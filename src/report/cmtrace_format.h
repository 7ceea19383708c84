// The log line format that Configuration Manager's log viewers (CMTrace,
// OneTrace, the Support Center viewer) read, so that admins see the run log
// with its warnings and failures marked.
#pragma once

#include <string>
#include <string_view>

#include "platform/process_info.h"

namespace kalinor {

/// CMTrace's severity of a line: 1 information, 2 warning, 3 failure.
enum class CmTraceType { kInformation = 1, kWarning = 2, kFailure = 3 };

/// kFailure for a line that reports a failure (beginning "Error", or a
/// refused database or settings file: "Database file not …", "Settings
/// file not …"), kWarning for one beginning "Warning", else kInformation.
CmTraceType CmTraceTypeOf(std::wstring_view text);

/// text as one CMTrace line, without its line feed:
/// <![LOG[text]LOG]!><time="HH:MM:SS.mmm+bias" date="MM-DD-YYYY"
/// component="kalinor" context="" type="1" thread="N" file="">
/// where bias is the minutes west of UTC (UTC+1 gives "-60", UTC "+000").
/// A "]LOG]!>" inside text would end the entry early and is written as
/// "]LOG]!&gt;". Never fails but for memory.
std::wstring FormatCmTraceLine(std::wstring_view text, const platform::LocalTime& time,
                               unsigned long thread);

}  // namespace kalinor
