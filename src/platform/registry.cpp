// The string reader over ReadRegistryValue, the same on every build.
#include "platform/registry.h"

#include "platform/utf16le.h"

namespace kalinor::platform {

namespace {

// The text of well-formed string data; "" for anything else.
std::wstring AcceptedStringText(const RegistryValue& value) {
  if (value.type != kRegSz && value.type != kRegExpandSz) return {};
  const std::size_t size = value.data.size();
  if (size == 0) return {};
  if (size % 2 != 0 || size > kRegistryStringBytes) return {};
  if (value.data[size - 2] != 0 || value.data[size - 1] != 0) return {};
  std::wstring text = FromUtf16Le(value.data.data(), size);
  text.resize(text.find(L'\0'));  // the terminator checked above bounds this
  return text;
}

}  // namespace

RegistryString ReadRegistryString(RegistryRoot root, const std::wstring& subkey,
                                  const std::wstring& name, RegistryView view) {
  RegistryValue value;
  if (!ReadRegistryValue(root, subkey, name, kRegistryStringBytes, value, view)) return {};
  return RegistryString{AcceptedStringText(value), value.type == kRegExpandSz};
}

}  // namespace kalinor::platform
