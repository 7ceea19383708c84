#include "report/debug_trace.h"

#include <cstdarg>
#include <string>

#include "platform/text.h"

namespace kalinor {
namespace {

void TraceFormatted(platform::LineSeverity severity, const wchar_t* format, va_list args) {
  std::wstring text = platform::FormatTextV(format, args);
  text += L'\n';
  platform::WriteDebugOutput(text, severity);
}

}  // namespace

void DebugTrace(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    TraceFormatted(platform::LineSeverity::kInformation, format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

void DebugTraceError(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    TraceFormatted(platform::LineSeverity::kError, format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
}

void DebugTraceText(std::wstring_view text, platform::LineSeverity severity) {
  platform::WriteDebugOutput(text, severity);
}

void DebugTraceForLog(std::initializer_list<std::wstring_view> writes, std::wstring_view logText) {
  // The channel keeps its writes as they were; the log is told once.
  const platform::DebugOutputObserver observer = platform::SetDebugOutputObserver(nullptr);
  struct Restore {
    platform::DebugOutputObserver Observer;
    ~Restore() { platform::SetDebugOutputObserver(Observer); }
  } restore{observer};
  for (const std::wstring_view text : writes)
    platform::WriteDebugOutput(text, platform::LineSeverity::kInformation);
  if (observer != nullptr) observer(logText, platform::LineSeverity::kInformation);
}

}  // namespace kalinor
