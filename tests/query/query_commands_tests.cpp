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
  std::wstring error = L"";  // the start of the one standard-error line; "" for none
};

TEST(QueryCommands, EveryMapiFailureIsCouldNotTellAndSaysWhat) {
  const std::wstring mapiStart = L"kalinor-query: MAPI does not start";
  const std::wstring usage = L"kalinor-query COMMAND [--json]\n";
  const std::vector<FailureCase> cases = {
      {{L"has", L"Archive"}, "", 0, L"installed\n"},
      {{L"HAS", L"Archive", L"--DETECT"}, "", 0, L"installed\n"},
      {{L"has", L"Other"}, "", 1, L"not installed\n"},
      {{L"has", L"Other", L"--detect"}, "", 0, L""},
      {{L"--json", L"has", L"Other", L"--detect"},
       "",
       0,
       L"{\"service\":\"Other\",\"installed\":false}\n"},
      {{L"has", L"Archive", L"--detect"}, "MAPIInitialize", 2, L"", mapiStart},
      {{L"has", L"Archive"}, "MAPIInitialize", 2, L"", mapiStart},
      {{L"has", L"Archive", L"--Json"},
       "MAPIInitialize",
       2,
       L"{\"error\":{\"code\":2,\"name\":\"mapi-start\",\"message\":\"MAPI does not start",
       mapiStart},
      {{L"has", L"Archive"}, "MAPIAdminProfiles", 2, L"", L"kalinor-query: profile: "},
      {{L"has", L"Archive"}, "GetProfileTable", 2, L"", L"kalinor-query: profile: "},
      {{L"has", L"Archive"},
       "AdminServices",
       2,
       L"",
       L"kalinor-query: the service administration of profile Default (the default) cannot"},
      {{L"has", L"Archive", L"profile:Nope"},
       "",
       2,
       L"",
       L"kalinor-query: profile: no profile named Nope (there are: Default, Second); name a "
       L"profile"},
      {{L"has", L"Other"}, "GetMsgServiceTable", 2, L"", L"kalinor-query: the profile's service"},
      {{L"has", L"Other"}, "GetRowCount:services", 2, L"", L"kalinor-query: the profile's service"},
      {{L"has", L"Other"}, "QueryRows:services", 2, L"", L"kalinor-query: the profile's service"},
      {{L"has"}, "", 2, L"", L"kalinor-query: has needs a service name"},
      {{L"services"}, "QueryRows:services", 2, L"", L"kalinor-query: the profile's service"},
      {{L"profiles"}, "GetRowCount:profiles", 2, L"", L"kalinor-query: the profile table"},
      {{L"Profiles"}, "QueryRows:profiles", 2, L"", L"kalinor-query: the profile table"},
      {{L"profiles", L"--json"},
       "",
       0,
       L"{\"profiles\":[{\"name\":\"Default\",\"default\":true},"
       L"{\"name\":\"Second\",\"default\":false}]}\n"},
      // Arguments that fit no command: the usage, and the line that says why.
      {{}, "", 1, usage, L"kalinor-query: no command given"},
      {{L"hsa", L"Archive"}, "", 1, usage, L"kalinor-query: the command \"hsa\" is not known"},
      {{L"has", L"Archive", L"--jsn"},
       "",
       1,
       usage,
       L"kalinor-query: the option \"--jsn\" is not understood"},
      {{L"has", L"Archive", L"--x\ninstalled"},
       "",
       1,
       usage,
       L"kalinor-query: the option \"--x\\x0Ainstalled\" is not understood"},
      {{L"has", L"Archive", L"Connector"},
       "",
       1,
       usage,
       L"kalinor-query: has takes one argument, and \"Connector\" came after \"Archive\""},
      {{L"profiles", L"Archive"}, "", 1, usage, L"kalinor-query: profiles takes no argument"},
      {{L"profiles", L"profile:P"},
       "",
       1,
       usage,
       L"kalinor-query: profiles takes no profile: only services, has, doctor and plan"},
      {{L"plan", L"profile:Default"},
       "",
       1,
       usage,
       L"kalinor-query: plan takes profile: only with a service name"},
      {{L"services", L"--detect"},
       "",
       1,
       usage,
       L"kalinor-query: --detect belongs to has, not to services; has ServiceName --detect"},
      {{L"error", L"nonsense", L"--json"},
       "",
       1,
       L"{\"error\":{\"code\":1,\"name\":\"usage\",\"message\":\"\\\"nonsense\\\" is not",
       L"kalinor-query: \"nonsense\" is not an error code"},
      {{L"ERROR", L"-2147221233"}, "", 0, L"0X8004010F\tMAPI_E_NOT_FOUND\t"},
      // kalinor's own options, on a line copied from a kalinor call, are no extra.
      {{L"has", L"-u", L"Archive", L"displayname:Archive X"}, "", 0, L"installed\n"},
      {{L"--help", L"hsa"}, "", 0, usage},
  };
  for (const FailureCase& c : cases) {
    std::wstring joined;
    for (const std::wstring& arg : c.args) joined += arg + L" ";
    SCOPED_TRACE(joined + std::wstring(c.failingCall.begin(), c.failingCall.end()));
    FakeMapi mapi;
    mapi.AddService(mapi.AddProfile("Default", true), "ARCHIVE");
    mapi.AddProfile("Second");
    if (!c.failingCall.empty()) mapi.FailCall(c.failingCall, MAPI_E_CALL_FAILED);
    platform::OutputCapture output;
    EXPECT_EQ(RunQuery(c.args, mapi.EntryPoints()), c.exitCode);
    const std::wstring text = output.StandardOutputText();
    // A usage error's usage text goes to standard error, before its line.
    const bool usageError = c.output == usage && !c.error.empty();
    if (usageError) {
      EXPECT_EQ(text, L"");
      ASSERT_FALSE(output.standard_error.empty());
      EXPECT_EQ(output.standard_error.front().substr(0, usage.size()), usage);
    } else if (c.output.empty() || (c.output.back() == L'\n' && c.output != usage)) {
      EXPECT_EQ(text, c.output);
    } else {
      EXPECT_EQ(text.substr(0, c.output.size()), c.output);
    }
    if (c.error.empty()) {
      EXPECT_TRUE(output.standard_error.empty());
    } else {
      ASSERT_EQ(output.standard_error.size(), usageError ? 2u : 1u);
      const std::wstring& line = output.standard_error.back();
      EXPECT_EQ(line.substr(0, c.error.size()), c.error);
      EXPECT_EQ(line.find(L'\n'), line.size() - 1);  // one line
    }
    EXPECT_EQ(mapi.LiveObjects(), 0);
    EXPECT_EQ(mapi.LiveRowSets(), 0);
    const long shutdowns = std::count(mapi.calls.begin(), mapi.calls.end(), "MAPIUninitialize");
    const long starts =
        std::count_if(mapi.calls.begin(), mapi.calls.end(),
                      [](const std::string& call) { return call.rfind("MAPIInitialize", 0) == 0; });
    EXPECT_EQ(shutdowns, c.failingCall == "MAPIInitialize" ? 0 : starts);
    // Arguments that fit no command never start MAPI.
    if (c.output == usage) {
      EXPECT_EQ(starts, 0);
    }
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
       1, L"store settings\tfail\tpresent, but it cannot be read"},
      {"store list not well-formed",
       [&](RunFacts&, FakeMapi&, QueryArguments&) {
         const wchar_t sep = platform::kPathSeparator;
         const std::wstring data = home.File(L"Tavrin") + sep + L"Ostrand";
         ASSERT_TRUE(testing::CreateFolderTree(data));
         ASSERT_TRUE(
             testing::WriteBytes(data + sep + L"StoreSettings.xml", "<QEVConfiguration><Store>"));
       },
       1, L"store settings\tfail\tpresent, but it cannot be read"},
      {"for an install, a running Outlook and a broken store list are no matter",
       [&](RunFacts& f, FakeMapi&, QueryArguments& a) {
         f.OutlookRunning = true;
         a.ForInstall = true;
         const wchar_t sep = platform::kPathSeparator;
         ASSERT_TRUE(testing::WriteBytes(
             home.File(L"Tavrin") + sep + L"Ostrand" + sep + L"StoreSettings.xml",
             "<QEVConfiguration><Store>"));
       },
       0, L"verdict\tready"},
      {"general settings not well-formed",
       [&](RunFacts&, FakeMapi&, QueryArguments&) {
         const wchar_t sep = platform::kPathSeparator;
         const std::wstring data = home.File(L"Tavrin") + sep + L"Ostrand";
         ASSERT_TRUE(testing::CreateFolderTree(data));
         ASSERT_TRUE(testing::WriteBytes(data + sep + L"GeneralSettings.xml",
                                         "<QEVConfiguration><General>"));
       },
       1, L"general settings\tfail\tpresent, but it cannot be read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A readable general settings file, unless the case changes it.
    const wchar_t sep = platform::kPathSeparator;
    const std::wstring data = home.File(L"Tavrin") + sep + L"Ostrand";
    ASSERT_TRUE(testing::RemoveTree(home.File(L"Tavrin")));
    ASSERT_TRUE(testing::CreateFolderTree(data));
    ASSERT_TRUE(testing::WriteBytes(data + sep + L"GeneralSettings.xml",
                                    "<QEVConfiguration><General/></QEVConfiguration>"));
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

// The plan of a whole uninstall: the profile the run would open and each
// service of the name it would remove, or that there is none and the cleanup
// still runs; then the cleanup's plan.
TEST(QueryCommands, ThePlanOfAnUninstallNamesTheProfileAndEachServiceItRemoves) {
  const struct {
    std::vector<std::wstring> args;
    std::wstring start;  // the plan's first lines
  } cases[] = {
      {{L"plan", L"archive"},
       L"service\tarchive\nprofile\tDefault (the default)\nremove service\tARCHIVE\t"},
      {{L"plan", L"Other"},
       L"service\tOther\nprofile\tDefault (the default)\nno service\tOther\tnone of that name "
       L"in the profile: the cleanup still runs\n"},
      {{L"plan", L"Archive", L"profile:Second"},
       L"service\tArchive\nprofile\tSecond (named)\nremove service\tARCHIVE\t"},
      {{L"plan", L"Archive", L"profile:Nope"},
       L"service\tArchive\nprofile\tnone\tno profile named Nope (there are: Default, Second)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.args.back()));
    FakeMapi mapi;
    mapi.AddService(mapi.AddProfile("Default", true), "ARCHIVE");
    mapi.AddService(mapi.AddProfile("Second"), "ARCHIVE");
    platform::OutputCapture output;
    RunQuery(c.args, mapi.EntryPoints());
    const std::wstring text = output.StandardOutputText();
    EXPECT_EQ(text.substr(0, c.start.size()), c.start) << platform::ToUtf8(text);
    EXPECT_NE(text.find(L"\ndata folder\t"), std::wstring::npos);  // the cleanup follows
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
