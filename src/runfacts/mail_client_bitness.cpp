#include "query/mail_client_bitness.h"

#include "datafolder/data_folders.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace kalinor {

namespace {

// Outlook 2010 (14.0) is the first with a 64-bit build; 2016 and later all
// register as 16.0.
const wchar_t* const kOfficeVersions[] = {L"16.0", L"15.0", L"14.0"};
const wchar_t* const kSoftwareKeys[] = {L"SOFTWARE\\", L"SOFTWARE\\WOW6432Node\\"};

// Values are short strings ("x64"); the buffer holds far more.
constexpr std::size_t kValueBytes = 520;

// The value read as a known bitness, or "".
std::wstring ReadBitness(const std::wstring& subkey, const wchar_t* name) {
  platform::RegistryValue value;
  if (!platform::ReadRegistryValue(platform::RegistryRoot::LocalMachine, subkey, name, kValueBytes,
                                   value))
    return {};
  const std::wstring text = platform::AsciiLower(DataFolders::AcceptedRegistryString(value));
  if (text == L"x64") return L"x64";
  if (text == L"x86") return L"x86";
  return {};
}

}  // namespace

std::wstring ProcessBitness() { return sizeof(void*) == 8 ? L"x64" : L"x86"; }

std::wstring MailClientBitness() {
  for (const wchar_t* software : kSoftwareKeys) {
    for (const wchar_t* version : kOfficeVersions) {
      std::wstring bitness = ReadBitness(
          std::wstring(software) + L"Microsoft\\Office\\" + version + L"\\Outlook", L"Bitness");
      if (!bitness.empty()) return bitness;
    }
  }
  return ReadBitness(L"SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration", L"Platform");
}

}  // namespace kalinor
