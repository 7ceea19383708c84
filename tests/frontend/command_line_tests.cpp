#include "frontend/command_line.h"

#include <gtest/gtest.h>

#include "frontend/usage_writes.h"
#include "platform/output_capture.h"

namespace kalinor {
namespace {

using Args = std::vector<std::wstring>;

TEST(UsageRequest, NoArgumentsOrALoneQuestionMark) {
  EXPECT_TRUE(IsUsageRequest({}));
  EXPECT_TRUE(IsUsageRequest({L"/?"}));
  EXPECT_TRUE(IsUsageRequest({L"-?"}));
  // Beside another argument it is an ordinary argument.
  EXPECT_FALSE(IsUsageRequest({L"/?", L"Service"}));
  EXPECT_FALSE(IsUsageRequest({L"Service", L"-?"}));
  EXPECT_FALSE(IsUsageRequest({L"?"}));
  EXPECT_FALSE(IsUsageRequest({L""}));
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
  // Only the exact switch counts; "-uu" is a service name.
  const RunSettings other = ParseArguments({L"-uu"});
  EXPECT_TRUE(other.InstallMode);
  EXPECT_EQ(other.ServiceName, L"-uu");
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
  EXPECT_EQ(settings.ProfileName, L"Two");
  EXPECT_EQ(settings.DisplayName, L"Y");
  EXPECT_FALSE(settings.InstallMode);
}

TEST(ArgumentRules, AnEmptyLastArgumentEmptiesTheServiceName) {
  EXPECT_TRUE(ParseArguments({L"Svc", L""}).ServiceName.empty());
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
