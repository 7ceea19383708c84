// An uninstall killed at any step of its copies and saves (the seeding of the
// settings files, the takeover of the older store list and its databases,
// the saves) leaves nothing that the next uninstall cannot clear. The kill
// comes from strace's fault injection at the n-th call of a syscall, for
// every n until a run gets through.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "e2e/kalinor_process.h"

namespace kalinor::testing {
namespace {

const char kStrace[] = "/usr/bin/strace";
const std::string kLocal = ".local/share/Tavrin";

class InterruptedUninstall : public KalinorProcessTest {
 protected:
  void SetUp() override {
    if (::access(kStrace, X_OK) != 0) GTEST_SKIP() << "strace is not installed";
  }

  // A general settings file of a few hundred kilobytes, so that copying and
  // saving it take several writes.
  static std::string GeneralSettings() {
    std::string settings =
        "<QEVConfiguration><General><PellucorURL>https://archive.example/"
        "</PellucorURL>";
    for (int key = 0; key < 3000; ++key)
      settings += "<K" + std::to_string(key) + ">" + std::string(100, 'v') + "</K" +
                  std::to_string(key) + ">";
    return settings + "</General></QEVConfiguration>";
  }

  // The settings files in folder (relative to the home), listing databases
  // that lie in databaseFolder.
  void WriteSettings(const std::string& folder, const std::string& databaseFolder) {
    std::string stores;
    for (const char* name : {"a.fdb", "b.fdb", "c.fdb"}) {
      WriteHomeFile(databaseFolder + "/" + name, name);
      stores += "<Store id=\"" + std::string(name) + "\"><dbFileName>" +
                InHome(databaseFolder + "/" + name) + "</dbFileName></Store>";
    }
    WriteHomeFile(folder + "/StoreSettings.xml",
                  "<QEVConfiguration>" + stores + "</QEVConfiguration>");
    WriteHomeFile(folder + "/GeneralSettings.xml", GeneralSettings());
  }

  // Takeover: the older data folder holds both settings files and the
  // databases. Seed: the installation's data folder holds both settings
  // files; the databases are in the data folder.
  void Prepare(bool takeover) {
    if (takeover) return WriteSettings(kLocal + "/Pellucor", kLocal + "/Pellucor");
    WriteHomeFile(".config/kalinor/registry.reg",
                  "Windows Registry Editor Version 5.00\n\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavrin\\KOVEX]\n\"Path\"=\"" +
                      InHome("install") + "\"\n");
    WriteSettings("install/Data", kLocal + "/Ostrand");
  }

  // Runs an uninstall that strace kills at the n-th call of syscall; true
  // when it was killed, false when it got through.
  bool RunKilledAt(const std::string& syscall, int n) {
    // LeakSanitizer cannot work under ptrace: a sanitizer build would fail
    // at exit without this.
    std::map<std::string, std::string> traced = environment;
    traced["ASAN_OPTIONS"] = "detect_leaks=0";
    const ProcessResult run =
        RunProcess(kStrace,
                   {"-f", "-o", "/dev/null", "-e",
                    "inject=" + syscall + ":signal=KILL:when=" + std::to_string(n), KALINOR_EXE,
                    "-u", "ArchiveConnector"},
                   traced);
    // strace ends itself with the signal that ended the tool.
    return run.exitCode == -1;
  }

  // After a complete run no database is left anywhere, the list has no
  // store and the archive address is blank.
  void ExpectEverythingCleared(const std::string& step) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(InHome(kLocal))) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(name.find(".fdb"), std::string::npos) << step << ": " << entry.path();
    }
    const std::string stores = FileText(kLocal + "/Ostrand/StoreSettings.xml");
    EXPECT_NE(stores.find("QEVConfiguration"), std::string::npos) << step;
    EXPECT_EQ(stores.find("<Store"), std::string::npos) << step << ": " << stores;
    const std::string general = FileText(kLocal + "/Ostrand/GeneralSettings.xml");
    EXPECT_EQ(general.find("archive.example"), std::string::npos) << step;
    EXPECT_NE(general.find("<K2999>"), std::string::npos) << step;
  }

  // For every step at which syscall is called: a fresh home, an uninstall
  // killed there, then one that must clear everything.
  void KillAtEveryCallOf(const std::string& syscall, bool takeover) {
    int kills = 0;
    for (int n = 1; n <= 100; ++n) {
      ASSERT_TRUE(RemoveTree(home.Path()) && std::filesystem::create_directory(InHome("")));
      Prepare(takeover);
      const bool killed = RunKilledAt(syscall, n);
      ASSERT_EQ(Run({"-u", "ArchiveConnector"}).exitCode, 0);
      ExpectEverythingCleared(syscall + " #" + std::to_string(n));
      if (!killed) break;
      ++kills;
    }
    EXPECT_GT(kills, 0) << "no run was killed at " << syscall;
  }
};

// fsync: each copy and save before its rename; renameat2: each copy placed
// and each database moved; renameat: each save placed; unlinkat: the older list
// deleted; write: part-way through every copy and save.
TEST_F(InterruptedUninstall, TakeoverKilledAtAnyStepLeavesNothingBehind) {
  for (const char* syscall : {"fsync", "renameat2", "renameat", "unlinkat", "write"})
    KillAtEveryCallOf(syscall, true);
}

TEST_F(InterruptedUninstall, SeedKilledAtAnyStepLeavesNothingBehind) {
  for (const char* syscall : {"fsync", "renameat2", "write"}) KillAtEveryCallOf(syscall, false);
}

}  // namespace
}  // namespace kalinor::testing
