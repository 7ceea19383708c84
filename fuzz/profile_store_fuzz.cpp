// Fuzz target: arbitrary bytes as the MAPI stand-in's profile store. What
// parses must write out as a store that parses to the same text again, with
// the same profiles and services: nothing read may be lost or changed by a
// rewrite.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "standin/mapi/profile_store.h"

namespace {

using kalinor::mapi_standin::ParseProfileStore;
using kalinor::mapi_standin::ProfileStore;
using kalinor::mapi_standin::SerializeProfileStore;

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

bool SameContent(const ProfileStore& a, const ProfileStore& b) {
  if (a.profiles.size() != b.profiles.size()) return false;
  for (std::size_t p = 0; p < a.profiles.size(); ++p) {
    const auto& left = a.profiles[p];
    const auto& right = b.profiles[p];
    if (left.name != right.name || left.is_default != right.is_default ||
        left.services.size() != right.services.size())
      return false;
    for (std::size_t s = 0; s < left.services.size(); ++s) {
      const auto& one = left.services[s];
      const auto& other = right.services[s];
      if (one.name != other.name || one.display_name != other.display_name ||
          one.configured != other.configured ||
          std::string_view(reinterpret_cast<const char*>(one.uid.ab), sizeof one.uid.ab) !=
              std::string_view(reinterpret_cast<const char*>(other.uid.ab), sizeof other.uid.ab))
        return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ProfileStore store;
  if (!ParseProfileStore(std::string_view(reinterpret_cast<const char*>(data), size), store)) {
    Check(store.profiles.empty());
    return 0;
  }
  const std::string written = SerializeProfileStore(store);
  ProfileStore reread;
  Check(ParseProfileStore(written, reread));
  Check(SameContent(store, reread));
  Check(SerializeProfileStore(reread) == written);
  return 0;
}
