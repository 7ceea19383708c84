#include <cstdio>

#include "platform/console.h"
#include "platform/output_capture.h"
#include "platform/text.h"

namespace kalinor::platform {

void WriteStandardOutput(std::wstring_view text) {
  if (OutputCapture::CaptureStandardOutput(text)) return;
  const std::string bytes = ToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

}  // namespace kalinor::platform
