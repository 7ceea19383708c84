// On Windows the test registry is the real one (in the Wine prefix when the
// tests run under Wine): each value is written where the program reads it,
// in the view the program reads (the 64-bit one), and everything a test
// changed is put back when the object goes: values restored or removed, keys
// it had to create deleted. HKEY_LOCAL_MACHINE needs an elevated test run on
// a real Windows machine.
#include <windows.h>

#include <map>
#include <optional>
#include <tuple>

#include "platform/win32/scoped_handles.h"
#include "support/test_registry.h"

namespace kalinor::testing {

namespace {

using Root = platform::RegistryRoot;

constexpr REGSAM kSixtyFourBitView = sizeof(void*) == 4 ? KEY_WOW64_64KEY : 0;

HKEY RootKey(Root root) {
  return root == Root::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

using Key = platform::RegistryKey;

bool KeyExists(Root root, const std::wstring& subkey) {
  Key key;
  return RegOpenKeyExW(RootKey(root), subkey.c_str(), 0, KEY_READ | kSixtyFourBitView,
                       key.Receive()) == ERROR_SUCCESS;
}

// The shortest leading part of subkey (whole components) that does not
// exist yet: creating subkey creates it and everything below. "" when the
// whole subkey exists.
std::wstring FirstMissingKey(Root root, const std::wstring& subkey) {
  for (std::size_t end = 0; end != std::wstring::npos;) {
    end = subkey.find(L'\\', end + 1);
    const std::wstring prefix = subkey.substr(0, end);
    if (!KeyExists(root, prefix)) return prefix;
  }
  return std::wstring();
}

// The value as it stands; nullopt when it (or its key) is missing.
std::optional<platform::RegistryValue> ReadValue(Root root, const std::wstring& subkey,
                                                 const std::wstring& name) {
  Key key;
  if (RegOpenKeyExW(RootKey(root), subkey.c_str(), 0, KEY_QUERY_VALUE | kSixtyFourBitView,
                    key.Receive()) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return std::nullopt;
  platform::RegistryValue value;
  value.type = type;
  value.data.resize(size + 1);  // never a null buffer, even for an empty value
  if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, value.data.data(), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.data.resize(size);
  return value;
}

bool WriteValue(Root root, const std::wstring& subkey, const std::wstring& name, std::uint32_t type,
                const std::vector<std::uint8_t>& bytes) {
  Key key;
  if (RegCreateKeyExW(RootKey(root), subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | kSixtyFourBitView, nullptr, key.Receive(),
                      nullptr) != ERROR_SUCCESS)
    return false;
  // RegSetValueExW adds a terminator to string data that lacks one when the
  // unit just past the data is NUL (Windows does, and Wine copies it). A
  // non-NUL unit there keeps the stored bytes exactly as given.
  std::vector<std::uint8_t> guarded(bytes);
  guarded.insert(guarded.end(), {0xFF, 0xFF});
  return RegSetValueExW(key.Get(), name.c_str(), 0, type, guarded.data(),
                        static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool DeleteValue(Root root, const std::wstring& subkey, const std::wstring& name) {
  Key key;
  const LONG opened = RegOpenKeyExW(RootKey(root), subkey.c_str(), 0,
                                    KEY_SET_VALUE | kSixtyFourBitView, key.Receive());
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  const LONG deleted = RegDeleteValueW(key.Get(), name.c_str());
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

// Deletes a key and everything below it.
void DeleteKeyTree(Root root, const std::wstring& subkey) {
  const std::size_t split = subkey.rfind(L'\\');
  const std::wstring parent =
      split == std::wstring::npos ? std::wstring() : subkey.substr(0, split);
  const std::wstring leaf = split == std::wstring::npos ? subkey : subkey.substr(split + 1);
  Key key;
  if (RegOpenKeyExW(RootKey(root), parent.c_str(), 0, KEY_ALL_ACCESS | kSixtyFourBitView,
                    key.Receive()) == ERROR_SUCCESS)
    RegDeleteTreeW(key.Get(), leaf.c_str());
}

}  // namespace

using Place = std::tuple<Root, std::wstring, std::wstring>;

struct TestRegistry::State {
  // Each value as it was before this object first changed it (nullopt:
  // missing), for the values in keys that existed then.
  std::map<Place, std::optional<platform::RegistryValue>> originals;
  // The keys this object created, top-most first in each chain.
  std::vector<std::pair<Root, std::wstring>> created_keys;

  bool InsideCreatedKey(Root root, const std::wstring& subkey) const;
  void Remember(Root root, const std::wstring& subkey, const std::wstring& name);
  void RestoreAll();
};

bool TestRegistry::State::InsideCreatedKey(Root root, const std::wstring& subkey) const {
  for (const auto& [created_root, created] : created_keys) {
    if (created_root != root) continue;
    if (subkey.size() >= created.size() &&
        CompareStringOrdinal(subkey.c_str(), static_cast<int>(created.size()), created.c_str(),
                             static_cast<int>(created.size()), TRUE) == CSTR_EQUAL &&
        (subkey.size() == created.size() || subkey[created.size()] == L'\\'))
      return true;
  }
  return false;
}

void TestRegistry::State::Remember(Root root, const std::wstring& subkey,
                                   const std::wstring& name) {
  if (InsideCreatedKey(root, subkey)) return;  // goes with its key
  const std::wstring missing = FirstMissingKey(root, subkey);
  if (!missing.empty()) {
    created_keys.emplace_back(root, missing);
    return;
  }
  const Place place{root, subkey, name};
  if (originals.count(place) == 0) originals.emplace(place, ReadValue(root, subkey, name));
}

void TestRegistry::State::RestoreAll() {
  for (const auto& [place, original] : originals) {
    const auto& [root, subkey, name] = place;
    if (original)
      WriteValue(root, subkey, name, original->type, original->data);
    else
      DeleteValue(root, subkey, name);
  }
  for (auto it = created_keys.rbegin(); it != created_keys.rend(); ++it)
    DeleteKeyTree(it->first, it->second);
}

TestRegistry::TestRegistry() : state_(std::make_unique<State>()) {}

TestRegistry::~TestRegistry() { state_->RestoreAll(); }

bool TestRegistry::SetRaw(platform::RegistryRoot root, const std::wstring& subkey,
                          const std::wstring& name, std::uint32_t type,
                          const std::vector<std::uint8_t>& bytes) {
  state_->Remember(root, subkey, name);
  return WriteValue(root, subkey, name, type, bytes);
}

bool TestRegistry::Remove(platform::RegistryRoot root, const std::wstring& subkey,
                          const std::wstring& name) {
  state_->Remember(root, subkey, name);
  return DeleteValue(root, subkey, name);
}

}  // namespace kalinor::testing
