#include <windows.h>

#include <string>

#include "platform/debug_output.h"
#include "platform/output_capture.h"

namespace kalinor::platform {

void WriteDebugOutput(std::wstring_view text) {
  if (OutputCapture::CaptureDebugOutput(text)) return;
  const std::wstring copy(text);
  OutputDebugStringW(copy.c_str());
}

}  // namespace kalinor::platform
