#include "frontend/command_line.h"

#include <gtest/gtest.h>

#include "frontend/usage_writes.h"
#include "platform/output_capture.h"

namespace kalinor {
namespace {

using Args = std::vector<std::wstring>;

// A switch is never read as a service name: help anywhere wins, then a
// switch not understood, then the version; only the rest is a run.
TEST(CommandLineRequests, EverySwitchButUninstallIsSortedOutBeforeARun) {
  struct Case {
    Args args;
    CommandLineRequest request;
    std::wstring argument;  // the switch named, for kUnknownSwitch
  };
  const std::vector<Case> cases = {
      {{}, CommandLineRequest::kUsage, L""},
      {{L"/?"}, CommandLineRequest::kUsage, L""},
      {{L"-u", L"-?"}, CommandLineRequest::kUsage, L""},
      {{L"/?", L"-u", L"Svc"}, CommandLineRequest::kUsage, L""},
      {{L"-u", L"Svc", L"--HELP"}, CommandLineRequest::kUsage, L""},
      {{L"-H"}, CommandLineRequest::kUsage, L""},
      {{L"/h", L"-x"}, CommandLineRequest::kUsage, L""},
      {{L"--version"}, CommandLineRequest::kVersion, L""},
      {{L"Svc", L"--Version", L"-u"}, CommandLineRequest::kVersion, L""},
      {{L"--version", L"-x"}, CommandLineRequest::kUnknownSwitch, L"-x"},
      {{L"-u", L"-uu", L"/y", L"Svc"}, CommandLineRequest::kUnknownSwitch, L"-uu"},
      {{L"Svc", L"/v"}, CommandLineRequest::kUnknownSwitch, L"/v"},
      {{L"-"}, CommandLineRequest::kUnknownSwitch, L"-"},
      {{L"--", L"Svc"}, CommandLineRequest::kUnknownSwitch, L"--"},
      {{L"-U", L"/u", L"Svc"}, CommandLineRequest::kRun, L""},
      // A value may hold anything; only an argument's first character counts.
      {{L"profile:/x", L"displayname:-h", L"Svc"}, CommandLineRequest::kRun, L""},
      {{L"?"}, CommandLineRequest::kRun, L""},
      {{L""}, CommandLineRequest::kRun, L""},
  };
  for (const Case& c : cases) {
    std::wstring joined;
    for (const std::wstring& arg : c.args) joined += L"[" + arg + L"]";
    SCOPED_TRACE(joined);
    const CommandLineCheck check = CheckCommandLine(c.args);
    EXPECT_EQ(check.Request, c.request);
    EXPECT_EQ(check.Argument, c.argument);
  }
}

TEST(CommandLineRequests, AnUnknownSwitchIsNamedBelowTheUsageOnOneLine) {
  platform::OutputCapture capture;
  PrintUnknownSwitch(L"-x\nService uninstalled.");
  std::vector<std::wstring> expected = testing::UsageWrites();
  expected.push_back(
      L"The argument \"-x\\x0AService uninstalled.\" is not understood: the only switch is -u "
      L"(or /u). Nothing was changed.\n");
  EXPECT_EQ(capture.standard_output, expected);
}

TEST(UsageRequest, UsageTextIsWrittenExactlyOnStandardOutput) {
  platform::OutputCapture capture;
  PrintUsage();
  EXPECT_EQ(capture.standard_output, testing::UsageWrites());
  EXPECT_TRUE(capture.debug_output.empty());
}

TEST(ArgumentRules, UninstallSwitchInAnyCase) {
  for (const wchar_t* flag : {L"-u", L"/u", L"-U", L"/U"}) {
    const RunSettings settings = ParseArguments({flag, L"Svc"});
    EXPECT_FALSE(settings.InstallMode) << flag;
    EXPECT_EQ(settings.ServiceName, L"Svc");
  }
  EXPECT_TRUE(ParseArguments({L"Svc"}).InstallMode);
}

TEST(ArgumentRules, PrefixesMatchInAnyCaseAndValuesKeepTheirs) {
  const RunSettings settings =
      ParseArguments({L"PROFILE:Work Mail", L"DisplayName:Archive Ä", L"Svc"});
  EXPECT_EQ(settings.ProfileName, L"Work Mail");
  EXPECT_EQ(settings.DisplayName, L"Archive Ä");
  EXPECT_EQ(settings.ServiceName, L"Svc");
}

TEST(ArgumentRules, APrefixThatDoesNotBeginTheArgumentIsNoOption) {
  const RunSettings settings = ParseArguments({L"myprofile:x"});
  EXPECT_EQ(settings.ServiceName, L"myprofile:x");
  EXPECT_TRUE(settings.ProfileName.empty());
}

TEST(ArgumentRules, EmptyProfileValueMeansNoneNamed) {
  const RunSettings settings = ParseArguments({L"profile:", L"Svc"});
  EXPECT_TRUE(settings.ProfileName.empty());
  EXPECT_EQ(settings.ServiceName, L"Svc");
}

TEST(ArgumentRules, LaterArgumentsOfAKindWinAndOptionsStandAnywhere) {
  const RunSettings settings = ParseArguments(
      {L"a", L"profile:One", L"displayname:X", L"b", L"profile:Two", L"-u", L"displayname:Y"});
  EXPECT_EQ(settings.ServiceName, L"b");
  EXPECT_EQ(settings.PassedOver, Args{L"a"});
  EXPECT_EQ(settings.ProfileName, L"Two");
  EXPECT_EQ(settings.DisplayName, L"Y");
  EXPECT_FALSE(settings.InstallMode);
}

TEST(ArgumentRules, AnEmptyLastArgumentEmptiesTheServiceName) {
  const RunSettings settings = ParseArguments({L"Svc", L""});
  EXPECT_TRUE(settings.ServiceName.empty());
  EXPECT_EQ(settings.PassedOver, Args{L"Svc"});
}

// "kalinor -u Archive Connector": an unquoted display name; each word but the
// last is passed over, and said to be.
TEST(ArgumentRules, EveryPlainArgumentButTheLastIsPassedOver) {
  const RunSettings settings = ParseArguments({L"", L"Archive", L"-u", L"Connector"});
  EXPECT_EQ(settings.ServiceName, L"Connector");
  EXPECT_EQ(settings.PassedOver, (Args{L"", L"Archive"}));
  EXPECT_TRUE(ParseArguments({L"Svc", L"profile:P"}).PassedOver.empty());
}

TEST(ArgumentRules, DescrIsNotAnOption) {
  // The usage text names "descr:", but only the listed prefixes are options.
  EXPECT_EQ(ParseArguments({L"descr:Something"}).ServiceName, L"descr:Something");
}

TEST(ArgumentRules, OnlyAsciiLettersAreFolded) {
  // A non-ASCII capital does not become a prefix letter.
  EXPECT_EQ(ParseArguments({L"PROFİLE:x"}).ServiceName, L"PROFİLE:x");
}

}  // namespace
}  // namespace kalinor
