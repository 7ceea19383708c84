#include "platform/debug_output.h"

#include <string>

#include "platform/text.h"

namespace kalinor::platform {
namespace {
DebugOutputObserver g_observer = nullptr;  // one thread; no lock needed
bool g_quietOnStandardError = false;
}  // namespace

void SetDebugOutputQuietOnStandardError(bool quiet) { g_quietOnStandardError = quiet; }

bool DebugOutputQuietOnStandardError() { return g_quietOnStandardError; }

DebugOutputObserver SetDebugOutputObserver(DebugOutputObserver observer) {
  const DebugOutputObserver previous = g_observer;
  g_observer = observer;
  return previous;
}

void NotifyDebugOutputObserver(std::wstring_view text, LineSeverity severity) {
  if (g_observer != nullptr) g_observer(text, severity);
}

std::wstring DebugChannelText(std::wstring_view text) {
  const bool ended = !text.empty() && text.back() == L'\n';
  if (ended) text.remove_suffix(1);
  std::wstring line = EscapeLineText(text);
  if (ended) line += L'\n';
  return line;
}

}  // namespace kalinor::platform
