// The tool as a setup program runs it, against the stand-in MAPI's store.
#include <gtest/gtest.h>

#include <future>

#include "e2e/kalinor_process.h"

namespace kalinor::testing {
namespace {

const std::string kUsage =
    "\nKalinor [-u] [profile:ProfileName] [descr:\"Service Description\"] ServiceName\n\n"
    "-u\t\t- Uninstall all services with the specified name.\n\t\t  When this is missing perform "
    "install.\n\n"
    "profile\t\t- Specify the profile where to install or uninstall the service.\n\t\t  When this "
    "is not "
    "specified the single existing profile or\n\t\t  the default profile is used.\n\n"
    "displayname\t- Specify the display name for the service to be installed.\n\t\t  The service "
    "name is used "
    "when not specified. Even if the display name\n\t\t  is given the same setting from "
    "mapisvc.inf has "
    "priority.\n\n";

using MapiRuns = KalinorProcessTest;

TEST_F(MapiRuns, UsageAndMissingServiceNameOnStandardOutput) {
  ProcessResult usage = Run({});
  EXPECT_EQ(usage.exitCode, 0);
  EXPECT_EQ(usage.standardOutput, kUsage);
  EXPECT_EQ(Run({"/?"}).standardOutput, kUsage);

  ProcessResult missing = Run({"-u"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.standardOutput, "No service name was specified.");
  EXPECT_EQ(DebugOutput(), "<missing>");  // MAPI never started
  EXPECT_EQ(ProfileStore(), "<missing>");
}

TEST_F(MapiRuns, InstallThenUninstallInTheEmbeddedDefaultProfile) {
  ProcessResult install = Run({"ArchiveConnector", "displayname:Archive Connector"});
  EXPECT_EQ(install.exitCode, 0);
  EXPECT_EQ(install.standardOutput, "");
  EXPECT_EQ(DebugOutput(),
            "Getting admin services for profile:\nDefault\nService configuration returned "
            "0\nService installed.\n");
  const std::string store = ProfileStore();
  EXPECT_EQ(Occurrences(store, "name=\"ArchiveConnector\""), 1) << store;
  EXPECT_NE(store.find("configured=\"true\""), std::string::npos) << store;

  ProcessResult uninstall = Run({"-u", "archiveconnector"});
  EXPECT_EQ(uninstall.exitCode, 0);
  EXPECT_EQ(uninstall.standardOutput, "");
  EXPECT_EQ(Occurrences(DebugOutput(), "Service uninstalled.\n"), 1);
  EXPECT_EQ(Occurrences(ProfileStore(), "ArchiveConnector"), 0) << ProfileStore();
}

TEST_F(MapiRuns, ASecondInstallInAnotherCaseCreatesNothing) {
  ASSERT_EQ(Run({"ArchiveConnector"}).exitCode, 0);
  ProcessResult again = Run({"ARCHIVECONNECTOR"});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(Occurrences(DebugOutput(), "The service is already installed.\n"), 1);
  EXPECT_EQ(Occurrences(ProfileStore(), "<Service "), 1) << ProfileStore();
}

TEST_F(MapiRuns, UninstallRemovesEveryServiceOfTheName) {
  WriteHomeFile(".config/kalinor/profiles.xml",
                "<Profiles>\n"
                "  <Profile name=\"Mail\" default=\"true\">\n"
                "    <Service name=\"Arc\" displayName=\"A\" "
                "uid=\"0123456789abcdef0123456789abcdef\" configured=\"true\"/>\n"
                "    <Service name=\"Other\" displayName=\"O\" "
                "uid=\"11111111111111111111111111111111\" configured=\"true\"/>\n"
                "    <Service name=\"ARC\" displayName=\"B\" "
                "uid=\"fedcba9876543210fedcba9876543210\" configured=\"false\"/>\n"
                "  </Profile>\n"
                "</Profiles>\n");
  ProcessResult run = Run({"-u", "Arc"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(Occurrences(DebugOutput(), "Service uninstalled.\n"), 1);
  const std::string store = ProfileStore();
  EXPECT_EQ(Occurrences(store, "<Service "), 1) << store;
  EXPECT_NE(store.find("name=\"Other\""), std::string::npos) << store;
}

TEST_F(MapiRuns, ANamedProfileThatDoesNotExist) {
  ProcessResult run = Run({"profile:Nowhere", "Arc"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(
      DebugOutput(),
      "Getting admin services for profile:\nNowhere\nError getting a service admin: 0X8004010F\n");
}

TEST_F(MapiRuns, UninstallWithNoProfileAtAllStillSucceeds) {
  WriteHomeFile(".config/kalinor/profiles.xml", "<Profiles/>\n");
  ProcessResult run = Run({"-u", "Arc"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(Occurrences(DebugOutput(), "There is no profile, unable to add service.\n"), 1);
}

TEST_F(MapiRuns, TheCatalogueRefusesAnUnknownNameAndNamesTheKnownOne) {
  WriteHomeFile(".config/kalinor/mapisvc.inf",
                "[Services]\nArchiveConnector=Archive Connector (catalogue)\n");
  ProcessResult unknown = Run({"Unknown"});
  EXPECT_EQ(unknown.exitCode, 0);
  EXPECT_NE(DebugOutput().find("Error installing service: 0X8004010F\n"), std::string::npos)
      << DebugOutput();

  ASSERT_EQ(Run({"ArchiveConnector", "displayname:Mine"}).exitCode, 0);
  const std::string store = ProfileStore();
  EXPECT_NE(store.find("displayName=\"Archive Connector (catalogue)\""), std::string::npos)
      << store;
  EXPECT_EQ(store.find("Unknown"), std::string::npos) << store;
}

TEST_F(MapiRuns, AnUndecodableArgumentDoesNotCrashTheTool) {
  ProcessResult run = Run({"-u", "Arc\xff\xfe"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(Occurrences(DebugOutput(), "There is no such service installed.\n"), 1);
}

TEST_F(MapiRuns, TwoRunsAtOnceLoseNeithersChange) {
  for (int round = 0; round < 5; ++round) {
    const std::string a = "First" + std::to_string(round);
    const std::string b = "Second" + std::to_string(round);
    auto first = std::async(std::launch::async, [&] { return Run({a}); });
    auto second = std::async(std::launch::async, [&] { return Run({b}); });
    EXPECT_EQ(first.get().exitCode, 0);
    EXPECT_EQ(second.get().exitCode, 0);
    const std::string store = ProfileStore();
    EXPECT_EQ(Occurrences(store, "name=\"" + a + "\""), 1) << store;
    EXPECT_EQ(Occurrences(store, "name=\"" + b + "\""), 1) << store;
  }
}

}  // namespace
}  // namespace kalinor::testing
