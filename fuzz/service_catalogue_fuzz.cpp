// Fuzz target: arbitrary bytes as a mapisvc.inf, read by the one catalogue
// reader that the doctor and the MAPI stand-in share. It never fails; every
// service it lists has a name and can be looked up again.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/mapi_service_catalogue.h"

namespace {

using kalinor::platform::ListedServiceDisplayName;
using kalinor::platform::MapiServiceEntry;
using kalinor::platform::ParseMapiServices;

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto services =
      ParseMapiServices(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const MapiServiceEntry& entry : services) {
    Check(!entry.name.empty());
    Check(ListedServiceDisplayName(services, entry.name).has_value());
  }
  return 0;
}
