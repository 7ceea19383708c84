#include "platform/debug_output.h"

namespace kalinor::platform {
namespace {
DebugOutputObserver g_observer = nullptr;  // one thread; no lock needed
}

DebugOutputObserver SetDebugOutputObserver(DebugOutputObserver observer) {
  const DebugOutputObserver previous = g_observer;
  g_observer = observer;
  return previous;
}

void NotifyDebugOutputObserver(std::wstring_view text) {
  if (g_observer != nullptr) g_observer(text);
}

}  // namespace kalinor::platform
