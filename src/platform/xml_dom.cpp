// What both XML DOMs' primitives share: the test seam that makes a reading
// primitive fail.
#include "platform/xml_dom.h"

#include <array>
#include <atomic>

namespace kalinor::platform {

namespace {

constexpr std::size_t kPrimitiveCount = static_cast<std::size_t>(DomPrimitive::ChildNodeCount) + 1;

std::array<std::atomic<HRESULT>, kPrimitiveCount>& FailuresSetForTesting() {
  static std::array<std::atomic<HRESULT>, kPrimitiveCount> failures{};
  return failures;
}

}  // namespace

void FailDomPrimitiveForTesting(DomPrimitive primitive, HRESULT failure) {
  FailuresSetForTesting()[static_cast<std::size_t>(primitive)].store(failure);
}

void RaiseFailureSetForTesting(DomPrimitive primitive) {
  const HRESULT failure =
      FailuresSetForTesting()[static_cast<std::size_t>(primitive)].load(std::memory_order_relaxed);
  if (failure != S_OK) throw _com_error(failure);
}

}  // namespace kalinor::platform
