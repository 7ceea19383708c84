#include <cstdio>

#include "platform/console.h"
#include "platform/output_capture.h"
#include "platform/text.h"

namespace kalinor::platform {

namespace {

void WriteUtf8(std::FILE* stream, std::wstring_view text) {
  const std::string bytes = ToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

}  // namespace

void WriteStandardOutput(std::wstring_view text) {
  if (OutputCapture::CaptureStandardOutput(text)) return;
  WriteUtf8(stdout, text);
}

void WriteStandardError(std::wstring_view text) {
  if (OutputCapture::CaptureStandardError(text)) return;
  WriteUtf8(stderr, text);
}

}  // namespace kalinor::platform
