// What a setup program gets from the tool beside the debugger channel: the
// run log (KALINOR_LOG) and the detailed exit codes (KALINOR_EXIT_CODES).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "e2e/kalinor_process.h"

namespace kalinor::testing {
namespace {

using SetupProgramRuns = KalinorProcessTest;

const std::string kTimestamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)";

TEST_F(SetupProgramRuns, TheLogCopiesTheDebuggerChannelWithAHeaderAndNamedResults) {
  environment["KALINOR_LOG"] = InHome("setup.log");
  ProcessResult run = Run({"profile:No where", "ArchiveConnector"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.standardOutput, "");
  // The debugger channel is exactly as without a log.
  EXPECT_EQ(DebugOutput(),
            "Getting admin services for profile:\nNo where\n"
            "Error getting a service admin: 0X8004010F\n");

  const std::string log = FileText("setup.log");
  const std::regex expected(
      kTimestamp + " Kalinor " KALINOR_VERSION " \\(POSIX\\), user \"?[^\n\"]+\"?, local time " +
      kTimestamp + ", arguments: \"profile:No where\" ArchiveConnector\n" + kTimestamp +
      " account: [^\n]+ \\(S-1-22-1-\\d+\\), (not )?elevated, session \\d+\n" + kTimestamp +
      " run mode: (unelevated|elevated, without a linked token)[^\n]*\n" + kTimestamp +
      " process: x(64|86)\n" + kTimestamp + " mail client: none found\n" + kTimestamp +
      " new Outlook: off\n" + kTimestamp + " MAPI DLL: none registered\n" + kTimestamp +
      " Outlook running: no\n" + kTimestamp + " redirection guard: off \\(not offered here\\)\n" +
      kTimestamp +
      " exit codes: classic \\(KALINOR_EXIT_CODES=detailed gives the detailed ones\\)\n" +
      // One entry for the announcement and its name, where the channel has two.
      kTimestamp + " Getting admin services for profile: No where\n" + kTimestamp +
      " Error getting a service admin: 0X8004010F \\(MAPI_E_NOT_FOUND\\)\n" + kTimestamp +
      " There is no profile named \"No where\": kalinor-query profiles lists the profiles there "
      "are\\.\n" +
      kTimestamp + " Exit code 0\\.\n");
  EXPECT_TRUE(std::regex_match(log, expected)) << log;

  // A second run appends its own header.
  Run({"-u", "ArchiveConnector"});
  EXPECT_EQ(Occurrences(FileText("setup.log"), " Kalinor " KALINOR_VERSION " (POSIX)"), 2);
}

TEST_F(SetupProgramRuns, ACmTraceLogMarksFailuresAndLeavesTheDebuggerChannelAlone) {
  environment["KALINOR_LOG"] = InHome("setup.log");
  environment["KALINOR_LOG_FORMAT"] = "CMTrace";
  Run({"profile:No where", "ArchiveConnector"});
  EXPECT_EQ(DebugOutput(),
            "Getting admin services for profile:\nNo where\n"
            "Error getting a service admin: 0X8004010F\n");
  const std::regex entry(
      R"re(<!\[LOG\[([^\n]*?)\]LOG\]!><time="\d\d:\d\d:\d\d\.\d{3}[+-]\d+" )re"
      R"re(date="\d\d-\d\d-\d{4}" component="kalinor" context="" type="([123])" )re"
      R"re(thread="\d+" file="">)re");
  std::string types;
  std::istringstream lines(FileText("setup.log"));
  for (std::string line; std::getline(lines, line);) {
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(line, parts, entry)) << line;
    types += parts[2].str();
  }
  // The header, its eight facts and the exit-code mode, the profile's
  // announcement, the failure and its words, the exit code.
  EXPECT_EQ(types, "11111111111331");
}

// A value of KALINOR_EXIT_CODES that is no mode is said once on standard
// error and in the log's mode line; a relative log path is taken from the
// current folder, and the log says so.
TEST_F(SetupProgramRuns, TheLogSaysTheExitCodeModeAndWhereARelativePathLed) {
  environment["KALINOR_EXIT_CODES"] = "yes";
  const std::string relative = std::filesystem::relative(InHome("setup.log")).string();
  environment["KALINOR_LOG"] = relative;
  const ProcessResult run = Run({"ArchiveConnector"});
  EXPECT_EQ(Occurrences(run.standardError,
                        "KALINOR_EXIT_CODES=\"yes\" is no mode (\"detailed\" "
                        "is): the classic exit codes are used.\n"),
            1)
      << run.standardError;
  const std::string log = FileText("setup.log");
  EXPECT_NE(log.find(" exit codes: classic; KALINOR_EXIT_CODES=\"yes\" is no mode (\"detailed\" "
                     "is)\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("(KALINOR_LOG named the relative path \"" + relative +
                     "\", taken from the current folder)\n"),
            std::string::npos)
      << log;
}

// A log on standard error, beside a debugger channel that is standard error
// too (POSIX): each line shows once, stamped.
TEST_F(SetupProgramRuns, ALogOnStandardErrorShowsEachLineOnce) {
  environment.erase("KALINOR_DEBUG_OUTPUT");
  environment["KALINOR_LOG"] = "stderr";
  const ProcessResult run = Run({"ArchiveConnector"});
  EXPECT_EQ(Occurrences(run.standardError, "Service installed."), 1) << run.standardError;
  EXPECT_EQ(Occurrences(run.standardError, " Getting admin services for profile: Default\n"), 1)
      << run.standardError;
}

// "descr:" is shown by the usage text but is no option: the run takes it as
// the service name, as it always has, and its log says so.
TEST_F(SetupProgramRuns, TheLogSaysDescrIsNoOption) {
  environment["KALINOR_LOG"] = InHome("setup.log");
  EXPECT_EQ(Run({"ArchiveConnector", "descr:Archive Connector"}).exitCode, 0);
  EXPECT_NE(ProfileStore().find("name=\"descr:Archive Connector\""), std::string::npos);
  EXPECT_NE(FileText("setup.log")
                .find("\"descr:Archive Connector\" is no option, though the usage "
                      "text shows descr:: it is a plain argument"),
            std::string::npos)
      << FileText("setup.log");
}

TEST_F(SetupProgramRuns, ALogThatCannotBeOpenedChangesNothing) {
  environment["KALINOR_LOG"] = InHome("no/such/folder/setup.log");
  ProcessResult run = Run({"ArchiveConnector"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.standardOutput, "");
  EXPECT_EQ(DebugOutput(),
            "Getting admin services for profile:\nDefault\nService configuration returned "
            "0\nService installed.\n");
  EXPECT_EQ(FileText("no"), "<missing>");
  EXPECT_NE(run.standardError.find("Run log not opened ("), std::string::npos) << run.standardError;
  EXPECT_NE(run.standardError.find("no/such/folder/setup.log"), std::string::npos);
}

// The run runs elevated over files another account can change: a link or a
// second name planted where the log, the debugger-output file or the profile
// store's lock goes is refused with a line on standard error, and what it
// points to is left exactly as it was.
TEST_F(SetupProgramRuns, PlantedLinksAtTheLogDebugOutputAndLockAreRefused) {
  namespace fs = std::filesystem;
  enum class Plant { kSymbolicLink, kDanglingLink, kHardLink };
  const struct {
    const char* what;
    const char* variable;  // pointed at the planted name; null: the lock's own place
    const char* planted;   // relative to the home folder
    Plant plant;
    const char* refusal;  // on standard error
  } cases[] = {
      {"log as a link", "KALINOR_LOG", "setup.log", Plant::kSymbolicLink,
       "Run log not opened (a link)"},
      {"log as a link to a missing file", "KALINOR_LOG", "setup.log", Plant::kDanglingLink,
       "Run log not opened (a link)"},
      {"log with a second name", "KALINOR_LOG", "setup.log", Plant::kHardLink,
       "Run log not opened (2 links)"},
      {"debugger output as a link", "KALINOR_DEBUG_OUTPUT", "debug.log", Plant::kSymbolicLink,
       "Debugger output file not opened (a link)"},
      {"lock as a link", nullptr, ".config/kalinor/profiles.xml.lock", Plant::kSymbolicLink,
       "Profile store lock not opened (a link)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder victims;  // another account's folder
    const fs::path victim = fs::path(victims.Path()) / "victim";
    const std::string secret = "root-only\n";
    ASSERT_TRUE(WriteFileBytes(victim.wstring(), secret));
    const fs::path planted(InHome(c.planted));
    fs::create_directories(planted.parent_path());
    fs::remove(planted);
    switch (c.plant) {
      case Plant::kSymbolicLink:
        fs::create_symlink(victim, planted);
        break;
      case Plant::kDanglingLink:
        fs::create_symlink(fs::path(victims.Path()) / "created", planted);
        break;
      case Plant::kHardLink:
        fs::create_hard_link(victim, planted);
        break;
    }
    std::map<std::string, std::string> saved = environment;
    if (c.variable != nullptr) environment[c.variable] = planted.string();
    const ProcessResult run = Run({"ArchiveConnector"});
    environment = saved;
    EXPECT_NE(run.standardError.find(c.refusal), std::string::npos) << run.standardError;
    EXPECT_EQ(ReadFileBytes(victim.wstring()), secret);
    EXPECT_FALSE(fs::exists(fs::path(victims.Path()) / "created"));
    EXPECT_EQ(std::distance(fs::directory_iterator(victims.Path()), fs::directory_iterator()), 1);
    fs::remove(planted);
  }
}

// Each outcome in turn, with its detailed code and then its default one.
TEST_F(SetupProgramRuns, DetailedExitCodesTellTheOutcome) {
  WriteHomeFile(".config/kalinor/mapisvc.inf", "[Services]\nArchiveConnector=Archive Connector\n");
  struct Case {
    const char* what;
    const char* storeList;  // written to StoreSettings.xml first, unless null
    std::vector<std::string> args;
    int detailed;
    int classic;
  };
  const Case cases[] = {
      {"installed", nullptr, {"ArchiveConnector"}, 0, 0},
      {"already installed", nullptr, {"ArchiveConnector"}, 0, 0},
      {"no service name", nullptr, {"-u"}, 1, 1},
      {"no such profile", nullptr, {"profile:Nowhere", "ArchiveConnector"}, 2, 0},
      {"not in the catalogue", nullptr, {"Unknown"}, 3, 0},
      {"store list unreadable", "<QEVConfiguration><Store>", {"-u", "ArchiveConnector"}, 4, 0},
      {"uninstalled and cleared", "<QEVConfiguration/>", {"-u", "ArchiveConnector"}, 0, 0},
  };
  const std::string storeList = ".local/share/Tavrin/Ostrand/StoreSettings.xml";
  for (const Case& c : cases) {
    if (c.storeList != nullptr) WriteHomeFile(storeList, c.storeList);
    environment["KALINOR_EXIT_CODES"] = "Detailed";
    EXPECT_EQ(Run(c.args).exitCode, c.detailed) << c.what;
    environment.erase("KALINOR_EXIT_CODES");
    // Runs that changed nothing find the same state again.
    if (c.detailed != 0) {
      EXPECT_EQ(Run(c.args).exitCode, c.classic) << c.what;
    }
    if (c.detailed == 4) {
      EXPECT_EQ(FileText(storeList), c.storeList) << "kept as it was";
    }
  }
  EXPECT_EQ(Occurrences(ProfileStore(), "<Service "), 0) << ProfileStore();
}

// The package's per-user step, as the logon entry runs it for one user: quiet
// and unrecorded while there is no profile; then the service is added once
// and recorded; a service the user removed is not added again; after the
// package is gone (its HKLM value with it) the service leaves the profile and
// the connector's state is cleared, once.
TEST_F(SetupProgramRuns, ThePerUserStepIsDoneOncePerUserAndFollowsThePackage) {
  const std::string registry = ".config/kalinor/registry.reg";
  const std::string record = ".local/share/Kalinor/ArchiveConnector.state";
  const std::string log = ".local/share/Kalinor/kalinor.log";
  const auto services = [&] { return Occurrences(ProfileStore(), "name=\"ArchiveConnector\""); };
  WriteHomeFile(registry,
                "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kalinor]\n"
                "\"ServiceName\"=\"ArchiveConnector\"\n");
  WriteHomeFile(".config/kalinor/profiles.xml", "<Profiles/>\n");
  EXPECT_EQ(Run({"--at-logon", "ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(FileText(record), "<missing>");
  EXPECT_NE(FileText(log).find("Per-user step: not yet (no MAPI profile)"), std::string::npos)
      << FileText(log);

  WriteHomeFile(".config/kalinor/profiles.xml",
                "<Profiles><Profile name=\"Outlook\" default=\"true\"/></Profiles>\n");
  EXPECT_EQ(Run({"--at-logon", "ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(services(), 1) << ProfileStore();
  EXPECT_EQ(FileText(record), "installed\n");

  EXPECT_EQ(Run({"-u", "ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(Run({"--at-logon", "ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(services(), 0) << "a service the user removed came back";
  EXPECT_NE(FileText(log).find("was added for this user before; nothing to do"), std::string::npos);

  // The user's own per-user removal (a user-context app's uninstall) stands
  // while the package stays.
  EXPECT_EQ(Run({"ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(Run({"--per-user", "-u", "ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(FileText(record), "removed\n");
  EXPECT_EQ(Run({"--at-logon", "ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(services(), 0) << "the user's removal was undone at logon";

  // Another user's: added by the logon step, then the package goes.
  std::filesystem::remove(InHome(record));
  EXPECT_EQ(Run({"--at-logon", "ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(services(), 1) << ProfileStore();
  WriteHomeFile(".local/share/Tavrin/Ostrand/StoreSettings.xml",
                "<QEVConfiguration><Store id=\"1\"><dbFileName>" +
                    InHome(".local/share/Tavrin/Ostrand/a.fdb") +
                    "</dbFileName></Store></QEVConfiguration>");
  WriteHomeFile(".local/share/Tavrin/Ostrand/a.fdb", "db");
  WriteHomeFile(registry, "Windows Registry Editor Version 5.00\n");
  for (int logon = 0; logon < 2; ++logon)
    EXPECT_EQ(Run({"--at-logon", "ArchiveConnector"}).exitCode, 0) << logon;
  EXPECT_EQ(services(), 0) << ProfileStore();
  EXPECT_EQ(FileText(".local/share/Tavrin/Ostrand/a.fdb"), "<missing>");
  EXPECT_EQ(FileText(record), "removed with the package\n");
  EXPECT_EQ(Occurrences(FileText(log), "was removed for this user before; nothing to do"), 1);
}

// What the per-user step cannot finish it does not record: a removal with a
// store list it must leave; a record it cannot read, or a package whose state
// it cannot read, makes it act on nothing.
TEST_F(SetupProgramRuns, ThePerUserStepRecordsOnlyWhatItFinished) {
  const std::string record = ".local/share/Kalinor/ArchiveConnector.state";
  EXPECT_EQ(Run({"ArchiveConnector"}).exitCode, 0);
  std::filesystem::create_directories(InHome(".config/kalinor/registry.reg"));  // unreadable
  EXPECT_EQ(Run({"--at-logon", "ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(Occurrences(ProfileStore(), "name=\"ArchiveConnector\""), 1) << ProfileStore();
  EXPECT_NE(FileText(".local/share/Kalinor/kalinor.log")
                .find("whether the package is installed cannot be read"),
            std::string::npos);
  std::filesystem::remove(InHome(".config/kalinor/registry.reg"));
  EXPECT_EQ(Run({"-u", "ArchiveConnector"}).exitCode, 0);

  WriteHomeFile(".local/share/Tavrin/Ostrand/StoreSettings.xml", "<QEVConfiguration><Store>");
  EXPECT_EQ(Run({"--per-user", "-u", "ArchiveConnector"}).exitCode, 4);
  EXPECT_EQ(FileText(record), "<missing>");

  std::filesystem::create_directories(InHome(record));  // a record that cannot be read
  EXPECT_EQ(Run({"--per-user", "ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(Occurrences(ProfileStore(), "name=\"ArchiveConnector\""), 0) << ProfileStore();
  EXPECT_NE(FileText(".local/share/Kalinor/kalinor.log").find("cannot be read; nothing done"),
            std::string::npos);
}

}  // namespace
}  // namespace kalinor::testing
