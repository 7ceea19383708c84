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
  ProcessResult missing = Run({"-u"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.standardOutput, "No service name was specified.");
  EXPECT_EQ(DebugOutput(), "<missing>");  // MAPI never started
  EXPECT_EQ(ProfileStore(), "<missing>");
}

// A help switch, the version or a switch not understood, before or after
// "-u": its text and exit code, and over an installed service and a data
// folder with a store, not one file created, changed or removed.
TEST_F(MapiRuns, NoSwitchButUninstallRunsAnything) {
  ASSERT_EQ(Run({"ArchiveConnector"}).exitCode, 0);
  const std::string data = ".local/share/Tavrin/Ostrand";
  WriteHomeFile(data + "/a.fdb", "a");
  WriteHomeFile(data + "/StoreSettings.xml", "<QEVConfiguration><Store id=\"1-2\"><dbFileName>" +
                                                 InHome(data + "/a.fdb") +
                                                 "</dbFileName></Store></QEVConfiguration>");
  WriteHomeFile(data + "/GeneralSettings.xml",
                "<QEVConfiguration><General><PellucorURL>u</PellucorURL></General>"
                "</QEVConfiguration>");
  const std::string unknown = "is not understood: the only switch is -u (or /u).";
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string output;  // the usage text and this
  };
  const std::vector<Case> cases = {
      {{}, 0, ""},
      {{"/?"}, 0, ""},
      {{"-u", "/?"}, 0, ""},
      {{"-u", "-?", "ArchiveConnector"}, 0, ""},
      {{"-u", "--help"}, 0, ""},
      {{"-u", "ArchiveConnector", "-H"}, 0, ""},
      {{"/h", "-u", "ArchiveConnector"}, 0, ""},
      {{"/? ", "-u", "ArchiveConnector"}, 1, "The argument \"/? \" " + unknown},
      {{"-u", "ArchiveConnector", "--force"}, 1, "The argument \"--force\" " + unknown},
      {{"-x", "-u", "ArchiveConnector"}, 1, "The argument \"-x\" " + unknown},
      {{"NewService", "/install"}, 1, "The argument \"/install\" " + unknown},
  };
  const auto before = HomeListing();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front() + " " + c.args.back());
    const ProcessResult run = Run(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.standardOutput,
              kUsage + (c.output.empty() ? "" : c.output + " Nothing was changed.\n"));
    EXPECT_EQ(HomeListing(), before);
  }
  const ProcessResult version = Run({"-u", "ArchiveConnector", "--VERSION"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.standardOutput, "kalinor " KALINOR_VERSION "\n");
  EXPECT_EQ(HomeListing(), before);
  EXPECT_EQ(Occurrences(ProfileStore(), "<Service "), 1) << ProfileStore();
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
