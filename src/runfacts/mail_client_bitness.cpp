#include "runfacts/mail_client_bitness.h"

#include "platform/registry.h"
#include "platform/text.h"

namespace kalinor {

namespace {

// Outlook 2010 (14.0) is the first with a 64-bit build; 2016 and later all
// register as 16.0.
const wchar_t* const kOfficeVersions[] = {L"16.0", L"15.0", L"14.0"};
const wchar_t* const kSoftwareKeys[] = {L"SOFTWARE\\", L"SOFTWARE\\WOW6432Node\\"};
const wchar_t kClickToRunKey[] = L"SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration";

std::wstring ReadString(const std::wstring& subkey, const wchar_t* name) {
  return platform::ReadRegistryString(platform::RegistryRoot::LocalMachine, subkey, name).text;
}

// The value read as a known bitness, or "".
std::wstring ReadBitness(const std::wstring& subkey, const wchar_t* name) {
  const std::wstring text = platform::AsciiLower(ReadString(subkey, name));
  if (text == L"x64") return L"x64";
  if (text == L"x86") return L"x86";
  return {};
}

std::wstring OutlookKey(const wchar_t* software, const wchar_t* version) {
  return std::wstring(software) + L"Microsoft\\Office\\" + version + L"\\Outlook";
}

// The first Outlook key whose "Bitness" names one, as the client found.
MailClient OutlookKeyClient() {
  for (const wchar_t* software : kSoftwareKeys) {
    for (const wchar_t* version : kOfficeVersions) {
      std::wstring bitness = ReadBitness(OutlookKey(software, version), L"Bitness");
      if (!bitness.empty()) return MailClient{bitness, MailClientKind::Msi, version};
    }
  }
  return {};
}

}  // namespace

std::wstring ProcessBitness() { return sizeof(void*) == 8 ? L"x64" : L"x86"; }

BitnessMatch MatchBitness(const std::wstring& client, const std::wstring& program) {
  if (client.empty()) return BitnessMatch::kUnknown;
  return client == program ? BitnessMatch::kSame : BitnessMatch::kDifferent;
}

std::wstring MailClientBitness() {
  const std::wstring bitness = OutlookKeyClient().Bitness;
  return bitness.empty() ? ReadBitness(kClickToRunKey, L"Platform") : bitness;
}

MailClient FindMailClient() {
  MailClient client = OutlookKeyClient();
  // Click-to-Run writes the Outlook key's "Bitness" too: its own key decides the kind.
  const std::wstring platform = ReadBitness(kClickToRunKey, L"Platform");
  if (platform.empty()) return client;
  if (client.Bitness.empty()) client.Bitness = platform;
  client.Kind = MailClientKind::ClickToRun;
  client.Version = ReadString(kClickToRunKey, L"VersionToReport");
  return client;
}

}  // namespace kalinor
