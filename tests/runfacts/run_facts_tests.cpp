// The facts of a run over prepared registries, the decisions made on them,
// and a running mail client seen in the real process list.
#include "runfacts/run_facts.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/process_info.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/utf16le.h"
#include "support/background_process.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "support/test_registry.h"

namespace kalinor {
namespace {

using platform::RegistryRoot;
using testing::TestRegistry;

constexpr std::uint32_t kRegDword = 4;
const wchar_t kOutlook16[] = L"SOFTWARE\\Microsoft\\Office\\16.0\\Outlook";
const wchar_t kOutlook15Wow[] = L"SOFTWARE\\WOW6432Node\\Microsoft\\Office\\15.0\\Outlook";
const wchar_t kClickToRun[] = L"SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration";
const wchar_t kPreferences[] = L"Software\\Microsoft\\Office\\16.0\\Outlook\\Preferences";
const wchar_t kMailClient[] = L"Software\\Clients\\Mail\\Microsoft Outlook";

std::wstring OtherBitness() { return ProcessBitness() == L"x64" ? L"x86" : L"x64"; }

enum class Dll { None, Present, Missing, ExpandedPresent, Unterminated };

struct Case {
  const char* name;
  std::wstring outlook16_bitness, outlook15_wow_bitness, c2r_platform, c2r_version;
  std::optional<platform::RegistryValue> use_new_outlook;
  Dll dll;
  // expected
  std::wstring bitness;
  MailClientKind kind;
  std::wstring version;
  bool new_outlook;
  const wchar_t* cause;  // a part of the sentence; "" for none
};

platform::RegistryValue Dword(std::uint32_t n) {
  return {kRegDword, {static_cast<std::uint8_t>(n), 0, 0, 0}};
}

void SetIfGiven(TestRegistry& registry, RegistryRoot root, const wchar_t* key, const wchar_t* name,
                const std::wstring& text) {
  if (!text.empty()) {
    ASSERT_TRUE(registry.SetString(root, key, name, text));
  }
}

TEST(RunFacts, GatheredFromTheRegistryAndJudged) {
  testing::TempFolder folder;
  const std::wstring dll = folder.File(L"olmapi32.dll");
  ASSERT_TRUE(testing::WriteBytes(dll, "MZ"));
  testing::ScopedEnvironmentVariable dll_folder(L"KALINOR_TEST_DLL_FOLDER", folder.Path());
  const std::wstring same = ProcessBitness(), other = OtherBitness();
  const std::wstring same_capitals = same == L"x64" ? L"X64" : L"X86";
  const Case cases[] = {
      {"msi matching", same, L"", L"", L"", std::nullopt, Dll::Present, same, MailClientKind::Msi,
       L"16.0", false, L""},
      {"msi other bitness in the 32-bit view", L"", other, L"", L"", Dword(0), Dll::Present, other,
       MailClientKind::Msi, L"15.0", false, L"MAPI cannot load across bitness"},
      {"click-to-run, new Outlook on", L"", L"", same, L"16.0.17328.20162", Dword(1), Dll::Present,
       same, MailClientKind::ClickToRun, L"16.0.17328.20162", true, L"new Outlook is switched on"},
      {"click-to-run writes the Outlook key too; dll gone", same, L"", same, L"", std::nullopt,
       Dll::Missing, same, MailClientKind::ClickToRun, L"", false, L"is missing: "},
      {"nothing installed", L"", L"", L"", L"", Dword(1), Dll::None, L"", MailClientKind::None, L"",
       true, L"No classic Outlook is registered"},
      {"switch as text, bitness in capitals, expandable dll path", same_capitals, L"", L"", L"",
       platform::RegistryValue{platform::kRegSz, {'1', 0, 0, 0}}, Dll::ExpandedPresent, same,
       MailClientKind::Msi, L"16.0", false, L""},
      {"dll path without its terminator", same, L"", L"", L"", Dword(2), Dll::Unterminated, same,
       MailClientKind::Msi, L"16.0", false, L"No classic Outlook is registered"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestRegistry registry;
    SetIfGiven(registry, RegistryRoot::LocalMachine, kOutlook16, L"Bitness", c.outlook16_bitness);
    SetIfGiven(registry, RegistryRoot::LocalMachine, kOutlook15Wow, L"Bitness",
               c.outlook15_wow_bitness);
    SetIfGiven(registry, RegistryRoot::LocalMachine, kClickToRun, L"Platform", c.c2r_platform);
    SetIfGiven(registry, RegistryRoot::LocalMachine, kClickToRun, L"VersionToReport",
               c.c2r_version);
    if (c.use_new_outlook) {
      ASSERT_TRUE(registry.SetRaw(RegistryRoot::CurrentUser, kPreferences, L"UseNewOutlook",
                                  c.use_new_outlook->type, c.use_new_outlook->data));
    }
    std::wstring dll_path;
    switch (c.dll) {
      case Dll::None:
        ASSERT_TRUE(registry.Remove(RegistryRoot::LocalMachine, kMailClient, L"DllPathEx"));
        break;
      case Dll::Present:
        dll_path = dll;
        ASSERT_TRUE(registry.SetString(RegistryRoot::LocalMachine, kMailClient, L"DllPathEx", dll));
        break;
      case Dll::Missing:
        dll_path = folder.File(L"msmapi32.dll");
        ASSERT_TRUE(
            registry.SetString(RegistryRoot::LocalMachine, kMailClient, L"DllPathEx", dll_path));
        break;
      case Dll::ExpandedPresent:
        dll_path = dll;
        ASSERT_TRUE(
            registry.SetString(RegistryRoot::LocalMachine, kMailClient, L"DllPathEx",
                               L"%KALINOR_TEST_DLL_FOLDER%" + dll.substr(folder.Path().size()),
                               platform::kRegExpandSz));
        break;
      case Dll::Unterminated:
        ASSERT_TRUE(registry.SetRaw(RegistryRoot::LocalMachine, kMailClient, L"DllPathEx",
                                    platform::kRegSz, platform::ToUtf16Le(dll)));
        break;
    }

    const RunFacts facts = GatherRunFacts();
    EXPECT_EQ(facts.ProcessBitness, same);
    EXPECT_EQ(facts.Client.Bitness, c.bitness);
    EXPECT_EQ(facts.Client.Kind, c.kind);
    EXPECT_EQ(facts.Client.Version, c.version);
    EXPECT_EQ(facts.Client.Bitness, MailClientBitness());  // what `bitness` reports
    EXPECT_EQ(facts.NewOutlookOn, c.new_outlook);
    EXPECT_EQ(facts.MapiDllPath, dll_path);
    EXPECT_EQ(facts.MapiDllExists, c.dll == Dll::Present || c.dll == Dll::ExpandedPresent);
    const std::wstring cause = LikelyMapiStartFailureCause(facts);
    if (*c.cause == L'\0')
      EXPECT_EQ(cause, L"");
    else
      EXPECT_NE(cause.find(c.cause), std::wstring::npos) << platform::ToUtf8(cause);
  }
}

TEST(RunFacts, AccountAndServiceAccounts) {
  const RunFacts facts = GatherRunFacts();
  const std::wstring user = platform::CurrentUserName();
  ASSERT_FALSE(user.empty());
  // "DOMAIN\user" on Windows, the bare name on POSIX.
  ASSERT_GE(facts.AccountName.size(), user.size());
  EXPECT_EQ(facts.AccountName.substr(facts.AccountName.size() - user.size()), user);
  EXPECT_EQ(facts.AccountSid.rfind(L"S-1-", 0), 0u) << platform::ToUtf8(facts.AccountSid);
  EXPECT_TRUE(facts.SessionId.has_value());
  EXPECT_FALSE(IsServiceAccount(facts));

  EXPECT_TRUE(facts.InteractiveLogon);

  const struct {
    const wchar_t* sid;
    bool interactive;  // the token holds INTERACTIVE (S-1-5-4)
    ServiceAccountKind kind;
  } sids[] = {{L"S-1-5-18", false, ServiceAccountKind::LocalSystem},
              {L"S-1-5-19", false, ServiceAccountKind::LocalService},
              {L"S-1-5-20", false, ServiceAccountKind::NetworkService},
              {L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", false,
               ServiceAccountKind::VirtualService},
              {L"S-1-5-80-0", true, ServiceAccountKind::VirtualService},
              {L"S-1-5-82-3006700770-424185619-1745488364-794895919-4004696415", true,
               ServiceAccountKind::ApplicationPool},
              {L"S-1-5-21-1-2-3-1001", false, ServiceAccountKind::NonInteractive},
              {L"S-1-5-180", true, ServiceAccountKind::None},
              {L"S-1-5-80", true, ServiceAccountKind::None},
              {L"S-1-5-800-1", true, ServiceAccountKind::None},
              {L"S-1-5-21-1-2-3-1001", true, ServiceAccountKind::None},
              {L"", true, ServiceAccountKind::None}};
  for (const auto& c : sids) {
    EXPECT_EQ(ServiceAccountOf(c.sid, c.interactive), c.kind) << platform::ToUtf8(c.sid);
    RunFacts judged;
    judged.ServiceAccount = c.kind;
    EXPECT_EQ(IsServiceAccount(judged), c.kind != ServiceAccountKind::None);
    EXPECT_EQ(*ServiceAccountName(c.kind) == L'\0', c.kind == ServiceAccountKind::None);
  }

  RunFacts system;
  system.AccountName = L"NT AUTHORITY\\SYSTEM";
  system.AccountSid = L"S-1-5-18";
  system.ServiceAccount = ServiceAccountKind::LocalSystem;
  system.Elevated = true;
  system.SessionId = 0;
  system.ProcessBitness = L"x64";
  system.Client = {L"x86", MailClientKind::ClickToRun, L"16.0.1"};
  system.MapiDllPath = L"C:\\olmapi32.dll";
  EXPECT_TRUE(IsServiceAccount(system));
  EXPECT_EQ(
      RunFactsLines(system),
      (std::vector<std::wstring>{
          L"account: NT AUTHORITY\\SYSTEM (S-1-5-18, LocalSystem), elevated, session 0",
          L"run mode: a service account (its own profile; a user's folders only through a "
          L"policy path): no token to check acts against, only the system's links are followed",
          L"process: x64", L"mail client: Click-to-Run, x86, version 16.0.1", L"new Outlook: off",
          L"MAPI DLL: C:\\olmapi32.dll (missing)", L"Outlook running: no",
          L"redirection guard: off (not offered here)"}));
}

// Which run this is decides what the tool may do in another account's folders.
TEST(RunFacts, TheRunModeFollowsTheAccountTheElevationAndTheLinkedToken) {
  const struct {
    ServiceAccountKind Service;
    bool Elevated;
    bool Linked;
    RunMode Expected;
  } cases[] = {
      {ServiceAccountKind::None, false, false, RunMode::kUnelevated},
      {ServiceAccountKind::None, false, true, RunMode::kUnelevated},  // the limited half
      {ServiceAccountKind::None, true, true, RunMode::kElevatedLinkedToken},
      {ServiceAccountKind::None, true, false, RunMode::kElevatedNoLinkedToken},
      {ServiceAccountKind::LocalSystem, true, false, RunMode::kServiceAccount},
      {ServiceAccountKind::NetworkService, false, false, RunMode::kServiceAccount},
  };
  for (const auto& c : cases) {
    RunFacts facts;
    facts.ServiceAccount = c.Service;
    facts.Elevated = c.Elevated;
    facts.HasLinkedToken = c.Linked;
    EXPECT_EQ(RunModeOf(facts), c.Expected) << c.Elevated << c.Linked;
  }
}

TEST(RunFacts, SeesARunningOutlookUntilItEnds) {
  // Any program of that name counts: the build puts an idle one beside this test.
  testing::BackgroundProcess outlook(testing::BesideThisTest(L"OUTLOOK.EXE"));
  ASSERT_TRUE(outlook.Started());
  EXPECT_TRUE(GatherRunFacts().OutlookRunning);
  outlook.Stop();
  EXPECT_FALSE(GatherRunFacts().OutlookRunning);
}

}  // namespace
}  // namespace kalinor
