// Registry reads. The 64-bit view, where the product and policy keys live,
// is the default: a 64-bit process sees it with plain KEY_READ, a 32-bit one
// (under WOW64) must ask for it. The process's own view asks for nothing.
#include <windows.h>

#include <algorithm>
#include <limits>

#include "platform/registry.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {

namespace {

constexpr REGSAM kSixtyFourBitView = sizeof(void*) == 4 ? KEY_WOW64_64KEY : 0;

REGSAM ViewFlag(RegistryView view) {
  return view == RegistryView::SixtyFourBit ? kSixtyFourBitView : 0;
}

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

bool HasNul(const std::wstring& text) { return text.find(L'\0') != std::wstring::npos; }

}  // namespace

RegistryPresence LookUpRegistryValue(RegistryRoot root, const std::wstring& subkey,
                                     const std::wstring& name, RegistryView view) {
  if (HasNul(subkey) || HasNul(name)) return RegistryPresence::kUnknown;
  RegistryKey key;
  LSTATUS status =
      RegOpenKeyExW(RootKey(root), subkey.c_str(), 0, KEY_READ | ViewFlag(view), key.Receive());
  if (status == ERROR_SUCCESS)
    status = RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS) return RegistryPresence::kPresent;
  return status == ERROR_FILE_NOT_FOUND ? RegistryPresence::kAbsent : RegistryPresence::kUnknown;
}

bool ReadRegistryValue(RegistryRoot root, const std::wstring& subkey, const std::wstring& name,
                       std::size_t max_bytes, RegistryValue& value, RegistryView view) {
  // A NUL inside a name would silently shorten it to another key's name.
  if (HasNul(subkey) || HasNul(name)) return false;
  RegistryKey key;
  if (RegOpenKeyExW(RootKey(root), subkey.c_str(), 0, KEY_READ | ViewFlag(view),
                    key.Receive()) != ERROR_SUCCESS)
    return false;
  const DWORD capacity =
      static_cast<DWORD>(std::min<std::size_t>(max_bytes, std::numeric_limits<DWORD>::max()));
  // Never a null buffer: with one, the query would succeed with the size
  // alone and the data would seem to fit.
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(capacity) + 1);
  DWORD type = 0;
  DWORD size = capacity;
  if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, buffer.data(), &size) !=
          ERROR_SUCCESS ||
      size > capacity)
    return false;
  buffer.resize(size);
  value.type = type;
  value.data = std::move(buffer);
  return true;
}

}  // namespace kalinor::platform
