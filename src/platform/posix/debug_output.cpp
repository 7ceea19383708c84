#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/console.h"
#include "platform/debug_output.h"
#include "platform/log_output.h"
#include "platform/output_capture.h"
#include "platform/text.h"

namespace kalinor::platform {
namespace {

// $KALINOR_DEBUG_OUTPUT, opened; null when unset, or refused (said on
// standard error; the lines then go there instead).
std::unique_ptr<AppendOnlyLogFile> OpenDebugOutputFile() {
  const char* path = std::getenv("KALINOR_DEBUG_OUTPUT");
  if (path == nullptr || *path == '\0') return nullptr;
  auto file = std::make_unique<AppendOnlyLogFile>(FromUtf8(path));
  if (file->IsOpen()) return file;
  WriteStandardError(L"Debugger output file not opened (" + file->Refusal() +
                     L"), writing to standard error instead: " + EscapeLineText(FromUtf8(path)) +
                     L"\n");
  return nullptr;
}

// Opened at the first write and held for the rest of the run: a name looked
// up again could lead elsewhere.
AppendOnlyLogFile* DebugOutputFile() {
  static const std::unique_ptr<AppendOnlyLogFile> file = OpenDebugOutputFile();
  return file.get();
}

}  // namespace

void WriteDebugOutput(std::wstring_view text, LineSeverity severity) {
  NotifyDebugOutputObserver(text, severity);
  std::wstring line = DebugChannelText(text);
  if (OutputCapture::CaptureDebugOutput(line)) return;
  if (line.empty() || line.back() != L'\n') line += L'\n';
  if (AppendOnlyLogFile* file = DebugOutputFile()) {
    // One write of the whole line to a file opened for appending, so lines
    // of concurrent runs do not interleave within a line.
    line.pop_back();
    // The debugger channel has nowhere further to report its own failure.
    (void)file->AppendLine(line);
    return;
  }
  if (DebugOutputQuietOnStandardError()) return;
  const std::string bytes = ToUtf8(line);
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

}  // namespace kalinor::platform
