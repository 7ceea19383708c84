#include <windows.h>

#include <string>

#include "platform/debug_output.h"
#include "platform/output_capture.h"

namespace kalinor::platform {

void WriteDebugOutput(std::wstring_view text, LineSeverity severity) {
  NotifyDebugOutputObserver(text, severity);
  const std::wstring line = DebugChannelText(text);
  if (OutputCapture::CaptureDebugOutput(line)) return;
  OutputDebugStringW(line.c_str());
}

}  // namespace kalinor::platform
