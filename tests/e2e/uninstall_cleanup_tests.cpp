// An uninstall run clears the connector's local state in its data folder.
// The cleanup's own cases are unit tests (tests/settings); these check the
// wiring of the whole run: order, the data folder found, install untouched.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "e2e/kalinor_process.h"

namespace kalinor::testing {
namespace {

// With no policy value the data folder is under the local application data.
const std::string kDataFolder = ".local/share/Tavrin/Ostrand";

class UninstallCleanupRuns : public KalinorProcessTest {
 protected:
  std::string DataFile(const std::string& name) const { return FileText(kDataFolder + "/" + name); }

  // A store list naming two database files in the data folder, with a
  // comment between the stores.
  void WriteTwoStores() {
    WriteHomeFile(kDataFolder + "/a.fdb", "a");
    WriteHomeFile(kDataFolder + "/b.fdb", "b");
    WriteHomeFile(kDataFolder + "/StoreSettings.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<QEVConfiguration>\n"
                  "  <Store id=\"1-2\"><dbFileName>" +
                      InHome(kDataFolder + "/a.fdb") +
                      "</dbFileName></Store>\n"
                      "  <!-- kept -->\n"
                      "  <Store id=\"3-4\"><dbFileName>" +
                      InHome(kDataFolder + "/b.fdb") +
                      "</dbFileName></Store>\n"
                      "</QEVConfiguration>\n");
  }
};

TEST_F(UninstallCleanupRuns, EveryStoreIsDeletedAndTheListEmptied) {
  WriteTwoStores();
  ProcessResult run = Run({"-u", "ArchiveConnector"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(DataFile("a.fdb"), "<missing>");
  EXPECT_EQ(DataFile("b.fdb"), "<missing>");
  const std::string stores = DataFile("StoreSettings.xml");
  EXPECT_NE(stores.find("QEVConfiguration"), std::string::npos) << stores;
  EXPECT_EQ(stores.find("<Store"), std::string::npos) << stores;
  EXPECT_NE(stores.find("<!-- kept -->"), std::string::npos) << stores;
  const std::string debug = DebugOutput();
  const size_t begin = debug.find("Clear store settings >>\n");
  const size_t end = debug.find("Clear store settings <<\n");
  ASSERT_NE(begin, std::string::npos) << debug;
  ASSERT_NE(end, std::string::npos) << debug;
  EXPECT_LT(begin, end);
  EXPECT_LT(debug.find("There is no such service installed.\n"), begin);
}

// Without a local application-data folder the data folder would hang from
// the root of the file system: one error line, and no file is touched.
TEST_F(UninstallCleanupRuns, WithoutALocalApplicationDataFolderNothingIsTouched) {
  WriteHomeFile("not-a-folder", "file");
  environment["XDG_DATA_HOME"] = InHome("not-a-folder");
  const bool rootHadTavrin = std::filesystem::exists("/Tavrin");
  EXPECT_EQ(Run({"-u", "ArchiveConnector"}).exitCode, 0);
  const std::string debug = DebugOutput();
  EXPECT_EQ(Occurrences(debug, "Error finding the local application data folder: 0X80004005\n"), 1)
      << debug;
  EXPECT_EQ(Occurrences(debug, "Clear store settings <<\n"), 1) << debug;
  EXPECT_EQ(FileText("not-a-folder"), "file");
  EXPECT_EQ(std::filesystem::exists("/Tavrin"), rootHadTavrin);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(InHome("")))
    EXPECT_EQ(entry.path().string().find("Tavrin"), std::string::npos) << entry.path();
}

// Uninstalls that run at once over one data folder race for every database:
// a database another run deleted first is done, not failed, so every run
// ends complete and the lists they save name no store.
TEST_F(UninstallCleanupRuns, ParallelUninstallsLeaveNoStoreListedAndSayNoFailure) {
  constexpr int kStores = 2000;
  std::string list = "<QEVConfiguration>";
  for (int i = 0; i < kStores; ++i) {
    const std::string name = kDataFolder + "/Stores/s" + std::to_string(i) + ".fdb";
    WriteHomeFile(name, "db");
    list += "<Store id=\"" + std::to_string(i) + "\"><dbFileName>" + InHome(name) +
            "</dbFileName></Store>";
  }
  WriteHomeFile(kDataFolder + "/StoreSettings.xml", list + "</QEVConfiguration>");
  environment["KALINOR_EXIT_CODES"] = "detailed";

  std::vector<ProcessResult> results(4);
  std::vector<std::thread> runs;
  for (ProcessResult& result : results)
    runs.emplace_back([&] { result = Run({"-u", "ArchiveConnector"}); });
  for (std::thread& run : runs) run.join();

  const std::string debug = DebugOutput();
  for (const ProcessResult& result : results)
    EXPECT_EQ(result.exitCode, 0) << result.standardError << debug.substr(0, 3000);
  EXPECT_EQ(Occurrences(debug, "Clear store settings <<\n"), 4) << debug.substr(0, 2000);
  EXPECT_EQ(debug.find("not deleted"), std::string::npos) << debug.substr(0, 2000);
  EXPECT_EQ(DataFile("StoreSettings.xml").find("<Store"), std::string::npos);
  EXPECT_EQ(DataFile("Stores/s0.fdb"), "<missing>");
  EXPECT_EQ(DataFile("Stores/s1999.fdb"), "<missing>");
}

// Root over a second account's home: the run takes the account's file-system
// identity, so a link the account made at or above its data folder, or at
// its older folder, leads nowhere the account could not go, and what a
// takeover and a seed leave behind is the account's.
class RootOverAnotherAccount : public UninstallCleanupRuns {
 protected:
  static constexpr uid_t kAccount = 4321;
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can run over another account's folder";
    ASSERT_EQ(::chmod(platform::ToUtf8(rootOnly.Path()).c_str(), 0700), 0);
    ASSERT_TRUE(WriteFileBytes(rootOnly.File(L"root.fdb"), "root's"));
  }
  // Gives everything under the home to the account, but the debugger
  // channel's file, which stays as the run made it.
  void GiveHomeAway() {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(InHome("")))
      if (entry.path() != InHome("debug.log")) {
        ASSERT_EQ(::lchown(entry.path().c_str(), kAccount, kAccount), 0) << entry.path();
      }
    ASSERT_EQ(::chown(InHome("").c_str(), kAccount, kAccount), 0);
  }
  void Link(const std::string& at) {
    std::filesystem::create_directories(std::filesystem::path(InHome(at)).parent_path());
    std::filesystem::create_directory_symlink(testing::FileSystemPath(rootOnly.Path()), InHome(at));
  }
  std::vector<std::wstring> RootOnlyEntries() const { return rootOnly.Entries(); }

  TempFolder rootOnly;
};

TEST_F(RootOverAnotherAccount, LinksTheAccountMadeLeadNowhereTheAccountCouldNotGo) {
  for (const std::string& at : {kDataFolder, std::string(".local/share/Tavrin"),
                                std::string(".local/share/Tavrin/Pellucor")}) {
    SCOPED_TRACE(at);
    std::filesystem::remove_all(InHome(".local"));
    if (at.ends_with("Pellucor")) WriteHomeFile(kDataFolder + "/.keep", "");
    Link(at);
    GiveHomeAway();
    Run({"-u", "ArchiveConnector"});
    EXPECT_EQ(RootOnlyEntries(), std::vector<std::wstring>{L"root.fdb"});
    EXPECT_EQ(ReadFileBytes(rootOnly.File(L"root.fdb")), std::string("root's"));
    // The refusal names the link and says what to do.
    EXPECT_NE(DebugOutput().find("Folder not used (a link the system did not make, which an "
                                 "elevated run does not follow: run the tool unelevated, as the "
                                 "user, or remove the link): " +
                                 InHome(at) + "\n"),
              std::string::npos)
        << DebugOutput();
  }
}

// The run log and the debugger-output file take the same road: a log path
// through the account's link creates nothing behind it; in the account's own
// folder the log is the account's; in a folder of root's that anyone may
// change, no log is kept at all.
TEST_F(RootOverAnotherAccount, TheRunLogIsKeptOnlyWhereTheAccountOrRootAloneDecides) {
  Link("logs");
  WriteHomeFile("own/.keep", "");
  GiveHomeAway();
  environment["KALINOR_DEBUG_OUTPUT"] = InHome("logs/debug.log");
  environment["KALINOR_LOG"] = InHome("logs/setup.log");
  Run({"-u", "ArchiveConnector"});
  EXPECT_EQ(RootOnlyEntries(), std::vector<std::wstring>{L"root.fdb"});

  environment["KALINOR_LOG"] = InHome("own/setup.log");
  Run({"-u", "ArchiveConnector"});
  struct stat status {};
  ASSERT_EQ(::lstat(InHome("own/setup.log").c_str(), &status), 0);
  EXPECT_EQ(status.st_uid, kAccount);

  TempFolder shared;
  ASSERT_EQ(::chmod(platform::ToUtf8(shared.Path()).c_str(), 01777), 0);
  environment["KALINOR_LOG"] = platform::ToUtf8(shared.File(L"setup.log"));
  const ProcessResult result = Run({"-u", "ArchiveConnector"});
  EXPECT_EQ(shared.Entries(), std::vector<std::wstring>{});
  EXPECT_NE(result.standardError.find("Run log not opened (in a folder other accounts may change"),
            std::string::npos)
      << result.standardError;
}

TEST_F(RootOverAnotherAccount, WhatATakeoverAndASeedLeaveIsTheAccounts) {
  const std::string older = ".local/share/Tavrin/Pellucor";
  WriteHomeFile(older + "/old.fdb", "db");
  WriteHomeFile(older + "/StoreSettings.xml", "<QEVConfiguration><Store id=\"1\"><dbFileName>" +
                                                  InHome(older + "/old.fdb") +
                                                  "</dbFileName></Store></QEVConfiguration>");
  WriteHomeFile("product/Data/GeneralSettings.xml",
                "<QEVConfiguration><General><PellucorURL>u</PellucorURL></General>"
                "</QEVConfiguration>");
  WriteHomeFile(".config/kalinor/registry.reg",
                "Windows Registry Editor Version 5.00\n\n"
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavrin\\KOVEX]\n\"Path\"=\"" +
                    InHome("product") + "\"\n");
  GiveHomeAway();
  EXPECT_EQ(Run({"-u", "ArchiveConnector"}).exitCode, 0);
  EXPECT_NE(DebugOutput().find("Acting in the data folder as its owner"), std::string::npos)
      << DebugOutput();
  EXPECT_NE(DataFile("GeneralSettings.xml"), "<missing>");
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(InHome(".local/share/Tavrin"))) {
    struct stat status {};
    ASSERT_EQ(::lstat(entry.path().c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, kAccount) << entry.path();
  }
}

TEST_F(UninstallCleanupRuns, InstallTouchesNoSettings) {
  WriteTwoStores();
  EXPECT_EQ(Run({"ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(DataFile("a.fdb"), "a");
  EXPECT_EQ(DataFile("GeneralSettings.xml"), "<missing>");
  EXPECT_EQ(DebugOutput().find("Clear store settings"), std::string::npos);
}

TEST_F(UninstallCleanupRuns, APolicyValueWithAMacroMovesTheDataFolder) {
  WriteHomeFile("archive/.keep", "");
  WriteHomeFile(".config/kalinor/registry.reg",
                "Windows Registry Editor Version 5.00\n\n"
                "[HKEY_CURRENT_USER\\Software\\Policies\\Tavrin\\Pellucor]\n"
                "\"DataPath\"=\"  %UserProfile%/archive  \"\n");
  WriteHomeFile("archive/Tavrin/Ostrand/x.fdb", "x");
  WriteHomeFile("archive/Tavrin/Ostrand/StoreSettings.xml",
                "<QEVConfiguration><Store id=\"1-2\"><dbFileName>" +
                    InHome("archive/Tavrin/Ostrand/x.fdb") +
                    "</dbFileName></Store></QEVConfiguration>");
  EXPECT_EQ(Run({"-u", "ArchiveConnector"}).exitCode, 0);
  EXPECT_EQ(FileText("archive/Tavrin/Ostrand/x.fdb"), "<missing>");
  EXPECT_NE(FileText("archive/Tavrin/Ostrand/GeneralSettings.xml"), "<missing>");
  EXPECT_EQ(DataFile("GeneralSettings.xml"), "<missing>");
  // The expanded policy value is written to the debugger channel.
  EXPECT_NE(DebugOutput().find(InHome("archive") + "\n"), std::string::npos) << DebugOutput();
  // The debug-log folder stays under the local application data.
  EXPECT_TRUE(IsFolder(platform::FromUtf8(InHome(kDataFolder + "/DebugLogs"))));
}

}  // namespace
}  // namespace kalinor::testing
