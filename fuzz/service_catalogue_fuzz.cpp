// Fuzz target: arbitrary bytes as the MAPI stand-in's mapisvc.inf. The
// parser never fails; every service it lists can be looked up again.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "standin/mapi/service_catalogue.h"

namespace {

using kalinor::mapi_standin::CatalogueDisplayName;
using kalinor::mapi_standin::ParseServiceCatalogue;
using kalinor::mapi_standin::ServiceCatalogue;

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ServiceCatalogue catalogue =
      ParseServiceCatalogue(std::string_view(reinterpret_cast<const char*>(data), size));
  Check(catalogue.present);
  for (const auto& [name, display_name] : catalogue.services) {
    Check(!name.empty());
    Check(CatalogueDisplayName(catalogue, name).has_value());
  }
  return 0;
}
