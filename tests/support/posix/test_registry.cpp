// The POSIX registry is a .reg file: the test registry writes its own file in
// a temporary folder and points $KALINOR_REGISTRY at it while it lives.
#include <map>
#include <tuple>

#include "platform/text.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "support/test_registry.h"

namespace kalinor::testing {

using Place = std::tuple<platform::RegistryRoot, std::wstring, std::wstring>;

struct TestRegistry::State {
  TempFolder folder;
  std::wstring file = folder.Join(L"registry.reg");
  ScopedEnvironmentVariable variable{L"KALINOR_REGISTRY", file};
  std::map<Place, platform::RegistryValue> values;

  bool Write() const;
};

namespace {

std::wstring RootName(platform::RegistryRoot root) {
  return root == platform::RegistryRoot::CurrentUser ? L"HKEY_CURRENT_USER" : L"HKEY_LOCAL_MACHINE";
}

std::wstring Quoted(const std::wstring& text) {
  std::wstring quoted = L"\"";
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

// hex(N):aa,bb,... with N in hexadecimal, as regedit writes it.
std::wstring HexData(const platform::RegistryValue& value) {
  std::wstring text = platform::FormatText(L"hex(%x):", value.type);
  for (std::size_t i = 0; i < value.data.size(); ++i)
    text += platform::FormatText(i == 0 ? L"%02x" : L",%02x", value.data[i]);
  return text;
}

}  // namespace

bool TestRegistry::State::Write() const {
  std::wstring text = L"Windows Registry Editor Version 5.00\n";
  for (const auto& [place, value] : values) {
    const auto& [root, subkey, name] = place;
    text += L"\n[" + RootName(root) + L"\\" + subkey + L"]\n";
    text += (name.empty() ? std::wstring(L"@") : Quoted(name)) + L"=" + HexData(value) + L"\n";
  }
  return WriteFileBytes(file, platform::ToUtf8(text));
}

TestRegistry::TestRegistry() : state_(std::make_unique<State>()) { state_->Write(); }

TestRegistry::~TestRegistry() = default;

bool TestRegistry::SetRaw(platform::RegistryRoot root, const std::wstring& subkey,
                          const std::wstring& name, std::uint32_t type,
                          const std::vector<std::uint8_t>& bytes) {
  state_->values[Place{root, subkey, name}] = platform::RegistryValue{type, bytes};
  return state_->Write();
}

bool TestRegistry::Remove(platform::RegistryRoot root, const std::wstring& subkey,
                          const std::wstring& name) {
  state_->values.erase(Place{root, subkey, name});
  return state_->Write();
}

}  // namespace kalinor::testing
