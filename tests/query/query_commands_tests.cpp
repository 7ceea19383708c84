// kalinor-query's MAPI commands over the fake MAPI: a failure at any step is
// "could not tell" (exit 2), never a "not installed", and every path
// releases what MAPI handed out and shuts MAPI down once.
#include "query/query_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/files.h"
#include "platform/output_capture.h"
#include "query/doctor.h"
#include "query/json_object.h"
#include "support/fake_mapi.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "support/test_registry.h"

namespace kalinor {
namespace {

using testing::FakeMapi;

struct FailureCase {
  std::vector<std::wstring> args;
  std::string failingCall;  // "" for none
  int exitCode;
  std::wstring output;
};

TEST(QueryCommands, EveryMapiFailureIsCouldNotTell) {
  const std::vector<FailureCase> cases = {
      {{L"has", L"Archive"}, "", 0, L"installed\n"},
      {{L"has", L"Other"}, "", 1, L"not installed\n"},
      {{L"has", L"Archive"}, "MAPIInitialize", 2, L""},
      {{L"has", L"Archive"}, "MAPIAdminProfiles", 2, L""},
      {{L"has", L"Archive"}, "GetProfileTable", 2, L""},
      {{L"has", L"Archive"}, "AdminServices", 2, L""},
      {{L"has", L"Other"}, "GetMsgServiceTable", 2, L""},
      {{L"has", L"Other"}, "GetRowCount:services", 2, L""},
      {{L"has", L"Other"}, "QueryRows:services", 2, L""},
      {{L"services"}, "QueryRows:services", 2, L""},
      {{L"profiles"}, "GetRowCount:profiles", 2, L""},
      {{L"profiles"}, "QueryRows:profiles", 2, L""},
      {{L"profiles", L"--json"},
       "",
       0,
       L"{\"profiles\":[{\"name\":\"Default\",\"default\":true},"
       L"{\"name\":\"Second\",\"default\":false}]}\n"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.args[0] + L" " + (c.args.size() > 1 ? c.args[1] : L"") + L" " +
                 std::wstring(c.failingCall.begin(), c.failingCall.end()));
    FakeMapi mapi;
    mapi.AddService(mapi.AddProfile("Default", true), "ARCHIVE");
    mapi.AddProfile("Second");
    if (!c.failingCall.empty()) mapi.FailCall(c.failingCall, MAPI_E_CALL_FAILED);
    platform::OutputCapture output;
    EXPECT_EQ(RunQuery(c.args, mapi.EntryPoints()), c.exitCode);
    EXPECT_EQ(output.StandardOutputText(), c.output);
    EXPECT_EQ(mapi.LiveObjects(), 0);
    EXPECT_EQ(mapi.LiveRowSets(), 0);
    const long shutdowns = std::count(mapi.calls.begin(), mapi.calls.end(), "MAPIUninitialize");
    EXPECT_EQ(shutdowns, c.failingCall == "MAPIInitialize" ? 0 : 1);
  }
}

// Each reason a run would not work turns the doctor to "not ready" (1) with a
// failed line that names it; a profile table it cannot read is "cannot tell".
TEST(QueryCommands, TheDoctorNamesWhyARunWouldNotWork) {
  testing::TempFolder home;
  // The data folder lies under the policy folder, on either platform.
  testing::TestRegistry registry;
  ASSERT_TRUE(registry.SetString(platform::RegistryRoot::CurrentUser,
                                 L"Software\\Policies\\Tavrin\\Pellucor", L"DataPath",
                                 home.Path()));
  const testing::ScopedEnvironmentVariable catalogue(L"KALINOR_MAPISVC", home.File(L"mapisvc.inf"));
  ASSERT_TRUE(testing::WriteBytes(home.File(L"mapisvc.inf"), "[Services]\nArchive = Archive\n"));
  ASSERT_TRUE(testing::WriteBytes(home.File(L"MAPI32.DLL"), "MZ"));
  struct Case {
    const char* what;
    std::function<void(RunFacts&, FakeMapi&, QueryArguments&)> change;
    int exitCode;
    std::wstring line;  // the line that tells, from its start
  };
  const auto none = [](RunFacts&, FakeMapi&, QueryArguments&) {};
  const std::vector<Case> cases = {
      {"ready", none, 0, L"profile\tok\tDefault (the default)"},
      {"service account",
       [](RunFacts& f, FakeMapi&, QueryArguments&) {
         f.ServiceAccount = ServiceAccountKind::LocalSystem;
       },
       1, L"account\tfail\t"},
      {"virtual service account",
       [](RunFacts& f, FakeMapi&, QueryArguments&) {
         f.AccountName = L"NT SERVICE\\Setup\nverdict\tready";
         f.ServiceAccount = ServiceAccountKind::VirtualService;
       },
       1, L"account\tfail\tNT SERVICE\\Setup\\x0Averdict\\x09ready is a virtual service account"},
      {"bitness",
       [](RunFacts& f, FakeMapi&, QueryArguments&) {
         f.Client.Bitness = f.ProcessBitness == L"x64" ? L"x86" : L"x64";
       },
       1, L"bitness\tfail\t"},
      {"no classic client", [](RunFacts& f, FakeMapi&, QueryArguments&) { f.MapiDllPath.clear(); },
       1, L"classic client\tfail\t"},
      {"MAPI DLL missing", [](RunFacts& f, FakeMapi&, QueryArguments&) { f.MapiDllExists = false; },
       1, L"classic client\tfail\tMAPI DLL missing"},
      {"new Outlook", [](RunFacts& f, FakeMapi&, QueryArguments&) { f.NewOutlookOn = true; }, 1,
       L"new Outlook\tfail\t"},
      {"Outlook running", [](RunFacts& f, FakeMapi&, QueryArguments&) { f.OutlookRunning = true; },
       1, L"Outlook running\tfail\t"},
      {"service not listed", [](RunFacts&, FakeMapi&, QueryArguments& a) { a.Operand = L"Other"; },
       1, L"service\tfail\tOther not listed"},
      {"service listed", [](RunFacts&, FakeMapi&, QueryArguments& a) { a.Operand = L"ARCHIVE"; }, 0,
       L"service\tok\tARCHIVE listed"},
      {"named profile missing",
       [](RunFacts&, FakeMapi&, QueryArguments& a) { a.ProfileName = L"Nowhere"; }, 1,
       L"profile\tfail\tno profile named Nowhere"},
      {"MAPI does not start",
       [](RunFacts&, FakeMapi& m, QueryArguments&) { m.FailCall("MAPIInitialize", E_FAIL); }, 1,
       L"profile\tfail\tMAPI does not start"},
      {"profile table unreadable",
       [](RunFacts&, FakeMapi& m, QueryArguments&) { m.FailCall("QueryRows:profiles", E_FAIL); }, 2,
       L"profile\tunknown\t"},
      {"settings file unreadable",
       [&](RunFacts&, FakeMapi&, QueryArguments&) {
         const wchar_t sep = platform::kPathSeparator;
         testing::CreateFolderTree(home.File(L"Tavrin") + sep + L"Ostrand" + sep +
                                   L"StoreSettings.xml");
       },
       1, L"store settings\tfail\tpresent, not readable"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeMapi mapi;
    mapi.AddProfile("Default", true);
    mapi.AddProfile("Second");
    RunFacts facts;
    facts.ProcessBitness = ProcessBitness();
    facts.Client.Bitness = facts.ProcessBitness;
    facts.MapiDllPath = home.File(L"MAPI32.DLL");
    facts.MapiDllExists = true;
    QueryArguments arguments;
    c.change(facts, mapi, arguments);
    platform::OutputCapture output;
    QueryOutput out(false);
    EXPECT_EQ(DoctorCommand(mapi.EntryPoints(), arguments, facts, out), c.exitCode);
    out.Print();
    const std::wstring text = L"\n" + output.StandardOutputText();
    EXPECT_NE(text.find(L"\n" + c.line), std::wstring::npos) << text;
    EXPECT_EQ(mapi.LiveObjects(), 0);
  }
}

TEST(QueryCommands, JsonStringsEscapeWhatJsonAsks) {
  EXPECT_EQ(JsonString(L"C:\\a \"b\"\n\t\x01"), L"\"C:\\\\a \\\"b\\\"\\n\\t\\u0001\"");
  // Separators and bidi controls as escapes; what has no UTF-8 form (an
  // unpaired surrogate, a POSIX name's undecodable byte) as U+FFFD.
  EXPECT_EQ(JsonString(L"a\u0085\u2028\u202E\x7F"), L"\"a\\u0085\\u2028\\u202e\\u007f\"");
  EXPECT_EQ(JsonString(std::wstring(L"x") + static_cast<wchar_t>(0xD800) + L"y" +
                       static_cast<wchar_t>(0xDCFF)),
            L"\"x\\ufffdy\\ufffd\"");
  EXPECT_EQ(JsonString(L"\U0001F600 \u00F6"), L"\"\U0001F600 \u00F6\"");
  EXPECT_EQ(platform::ToUtf8(JsonString(platform::FromUtf8("data\xff"))), "\"data\\ufffd\"");
}

}  // namespace
}  // namespace kalinor
