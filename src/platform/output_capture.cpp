#include "platform/output_capture.h"

namespace kalinor::platform {
namespace {
OutputCapture* g_active = nullptr;  // one thread; no lock needed
}

OutputCapture::OutputCapture() : previous_(g_active) { g_active = this; }

OutputCapture::~OutputCapture() { g_active = previous_; }

std::wstring OutputCapture::StandardOutputText() const {
  std::wstring all;
  for (const auto& s : standard_output) all += s;
  return all;
}

OutputCapture* OutputCapture::Active() { return g_active; }

bool OutputCapture::CaptureStandardOutput(std::wstring_view text) {
  if (g_active == nullptr) return false;
  g_active->standard_output.emplace_back(text);
  return true;
}

bool OutputCapture::CaptureStandardError(std::wstring_view text) {
  if (g_active == nullptr) return false;
  g_active->standard_error.emplace_back(text);
  return true;
}

bool OutputCapture::CaptureDebugOutput(std::wstring_view text) {
  if (g_active == nullptr) return false;
  g_active->debug_output.emplace_back(text);
  return true;
}

}  // namespace kalinor::platform
