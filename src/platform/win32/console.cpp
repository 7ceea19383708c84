#include <windows.h>

#include "platform/console.h"
#include "platform/output_capture.h"
#include "platform/text.h"

namespace kalinor::platform {

namespace {

// The console's own wide write; UTF-8 when the handle is redirected.
void WriteToStandardHandle(DWORD which, std::wstring_view text) {
  HANDLE out = GetStdHandle(which);
  if (out == nullptr || out == INVALID_HANDLE_VALUE || text.empty()) return;
  DWORD written = 0;
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) {
    WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  // Redirected to a file or pipe: UTF-8, as a setup program's log expects.
  const std::string bytes = ToUtf8(text);
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void WriteStandardOutput(std::wstring_view text) {
  if (OutputCapture::CaptureStandardOutput(text)) return;
  WriteToStandardHandle(STD_OUTPUT_HANDLE, text);
}

void WriteStandardError(std::wstring_view text) {
  if (OutputCapture::CaptureStandardError(text)) return;
  WriteToStandardHandle(STD_ERROR_HANDLE, text);
}

}  // namespace kalinor::platform
