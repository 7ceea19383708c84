#include "support/test_registry.h"

#include "platform/utf16le.h"

namespace kalinor::testing {

// Strings are stored as Windows stores them: UTF-16LE with the terminator.
bool TestRegistry::SetString(platform::RegistryRoot root, const std::wstring& subkey,
                             const std::wstring& name, const std::wstring& text,
                             std::uint32_t type) {
  std::vector<std::uint8_t> bytes = platform::ToUtf16Le(text);
  bytes.insert(bytes.end(), {0, 0});
  return SetRaw(root, subkey, name, type, bytes);
}

}  // namespace kalinor::testing
