// kalinor-query's MAPI commands over the fake MAPI: a failure at any step is
// "could not tell" (exit 2), never a "not installed", and every path
// releases what MAPI handed out and shuts MAPI down once.
#include "query/query_commands.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/output_capture.h"
#include "query/json_object.h"
#include "support/fake_mapi.h"

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

TEST(QueryCommands, JsonStringsEscapeWhatJsonAsks) {
  EXPECT_EQ(JsonString(L"C:\\a \"b\"\n\t\x01"), L"\"C:\\\\a \\\"b\\\"\\n\\t\\u0001\"");
}

}  // namespace
}  // namespace kalinor
