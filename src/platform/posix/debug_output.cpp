#include <cstdio>
#include <cstdlib>

#include "platform/debug_output.h"
#include "platform/output_capture.h"
#include "platform/text.h"

namespace kalinor::platform {

void WriteDebugOutput(std::wstring_view text) {
  if (OutputCapture::CaptureDebugOutput(text)) return;
  std::string line = ToUtf8(text);
  if (line.empty() || line.back() != '\n') line += '\n';
  const char* path = std::getenv("KALINOR_DEBUG_OUTPUT");
  if (path != nullptr && *path != '\0') {
    // One fwrite of the whole line to a file opened for appending, so lines
    // of concurrent runs do not interleave within a line.
    if (std::FILE* f = std::fopen(path, "ab")) {
      std::fwrite(line.data(), 1, line.size(), f);
      std::fclose(f);
    }
    return;
  }
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace kalinor::platform
