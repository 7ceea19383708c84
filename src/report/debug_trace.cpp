#include "report/debug_trace.h"

#include <cstdarg>
#include <string>

#include "platform/debug_output.h"
#include "platform/text.h"

namespace kalinor {

void DebugTrace(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text;
  try {
    text = platform::FormatTextV(format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  text += L'\n';
  platform::WriteDebugOutput(text);
}

void DebugTraceText(std::wstring_view text) { platform::WriteDebugOutput(text); }

}  // namespace kalinor
