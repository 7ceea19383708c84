#include "frontend/run_sequence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>

#include "frontend/usage_writes.h"
#include "platform/files.h"
#include "platform/output_capture.h"
#include "platform/text.h"
#include "platform/twin_build.h"
#include "report/log_sink.h"
#include "runfacts/twin_handover.h"
#include "support/fake_mapi.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"

namespace kalinor {
namespace {

using testing::FakeMapi;

class RunSequenceTest : public ::testing::Test {
 protected:
  // Records each step it is asked for, in order.
  class RecordedCleanup final : public UninstallCleanup {
   public:
    explicit RecordedCleanup(RunSequenceTest& test) : test_(test) {}
    bool ClearStoreSettings() override {
      test_.cleanupCalls.push_back("ClearStoreSettings");
      test_.clearStore();
      return true;
    }
    bool ClearArchiveUrl() override {
      test_.cleanupCalls.push_back("ClearArchiveUrl");
      return true;
    }

   private:
    RunSequenceTest& test_;
  };

  int Run(std::vector<std::wstring> args, const RunContext& context = {}) {
    RecordedCleanup cleanup(*this);
    const platform::MapiEntryPoints entry = mapi.EntryPoints();
    return RunKalinor(args, entry, cleanup, context);
  }

  // No MAPI object or row set may outlive the run.
  void ExpectNothingLeaked() {
    EXPECT_EQ(mapi.LiveObjects(), 0);
    EXPECT_EQ(mapi.LiveRowSets(), 0);
  }

  size_t IndexOf(const std::string& call) {
    return static_cast<size_t>(std::find(mapi.calls.begin(), mapi.calls.end(), call) -
                               mapi.calls.begin());
  }

  FakeMapi mapi;
  platform::OutputCapture output;
  std::vector<std::string> cleanupCalls;
  std::function<void()> clearStore = [] {};
};

// Help, the version and a switch not understood, before or after "-u", in
// either exit-code mode: their text, and MAPI never started, nothing cleaned.
TEST_F(RunSequenceTest, NoSwitchButUninstallEverStartsMapi) {
  mapi.AddService(mapi.AddProfile("Default", true), "Svc");
  struct Case {
    std::vector<std::wstring> args;
    int exitCode;
    std::wstring outputStart;  // "" for the usage text alone
  };
  const std::vector<Case> cases = {
      {{}, 0, L""},
      {{L"-?"}, 0, L""},
      {{L"-u", L"/?"}, 0, L""},
      {{L"-u", L"-h", L"Svc"}, 0, L""},
      {{L"--help", L"-u", L"Svc"}, 0, L""},
      {{L"Svc", L"--version"}, 0, L"kalinor "},
      {{L"-u", L"Svc", L"-x"}, 1, L"\nKalinor [-u]"},
      {{L"/q", L"-u", L"Svc"}, 1, L"\nKalinor [-u]"},
  };
  for (const ExitCodeMode mode : {ExitCodeMode::kClassic, ExitCodeMode::kDetailed}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.args.empty() ? L"(none)" : c.args.front());
      platform::OutputCapture capture;
      EXPECT_EQ(Run(c.args, RunContext{mode, {}}), c.exitCode);
      if (c.outputStart.empty()) {
        EXPECT_EQ(capture.standard_output, testing::UsageWrites());
      } else {
        EXPECT_EQ(capture.StandardOutputText().rfind(c.outputStart, 0), 0u);
      }
      if (c.exitCode == 1) {
        EXPECT_NE(capture.standard_output.back().find(L"is not understood"), std::wstring::npos);
      }
      EXPECT_TRUE(capture.debug_output.empty());
    }
  }
  EXPECT_TRUE(mapi.calls.empty());
  EXPECT_TRUE(cleanupCalls.empty());
}

TEST_F(RunSequenceTest, MissingServiceNameIsReportedWithoutStartingMapi) {
  for (std::vector<std::wstring> args :
       {std::vector<std::wstring>{L"-u"}, {L"Svc", L""}, {L"profile:P"}}) {
    platform::OutputCapture capture;
    EXPECT_EQ(Run(args), 1);
    EXPECT_EQ(capture.StandardOutputText(), L"No service name was specified.");
    EXPECT_TRUE(capture.debug_output.empty());
  }
  EXPECT_TRUE(mapi.calls.empty());
  EXPECT_TRUE(cleanupCalls.empty());
}

TEST_F(RunSequenceTest, FailedMapiStartEndsWithOneLineAndExitCodeOne) {
  mapi.FailCall("MAPIInitialize", static_cast<HRESULT>(0x80040605));
  mapi.AddProfile("Default", true);
  EXPECT_EQ(Run({L"-u", L"Svc"}), 1);
  ASSERT_EQ(output.debug_output.size(), 1u);
  EXPECT_EQ(output.debug_output[0], L"Error initializing MAPI: 0X80040605\n");
  EXPECT_EQ(mapi.calls, std::vector<std::string>{"MAPIInitialize(0,0x0)"});
  EXPECT_EQ(mapi.uninitializeCount, 0);
  EXPECT_TRUE(cleanupCalls.empty());
  EXPECT_TRUE(output.standard_output.empty());
}

TEST_F(RunSequenceTest, InstallIntoTheOnlyProfileCreatesConfiguresAndShutsDownInOrder) {
  mapi.AddProfile("Default");
  EXPECT_EQ(Run({L"ArchiveConnector", L"displayname:Archive"}), 0);

  // MAPI is started first and shut down last, once each; the service admin
  // is let go before the shutdown; the service is configured after it was
  // created, with the given display name.
  ASSERT_FALSE(mapi.calls.empty());
  EXPECT_EQ(mapi.calls.front(), "MAPIInitialize(0,0x0)");
  EXPECT_EQ(mapi.calls.back(), "MAPIUninitialize");
  EXPECT_EQ(mapi.uninitializeCount, 1);
  const size_t created = IndexOf("CreateMsgService(ArchiveConnector,Archive,0,0x0)");
  ASSERT_LT(created, mapi.calls.size());
  EXPECT_LT(created, IndexOf("ConfigureMsgService(0,0x0,0,null)"));
  EXPECT_LT(IndexOf("ConfigureMsgService(0,0x0,0,null)"), mapi.calls.size());
  EXPECT_LT(IndexOf("AdminServices(Default,null,0,0x80000000)"), created);
  EXPECT_EQ(IndexOf("Release IMsgServiceAdmin"), mapi.calls.size() - 2);
  ASSERT_EQ(mapi.profiles[0].services.size(), 1u);
  EXPECT_EQ(mapi.profiles[0].services[0].name, "ArchiveConnector");
  EXPECT_EQ(mapi.profiles[0].services[0].displayName, "Archive");
  EXPECT_TRUE(mapi.profiles[0].services[0].configured);
  EXPECT_EQ(
      output.debug_output,
      (std::vector<std::wstring>{L"Getting admin services for profile:", L"Default",
                                 L"Service configuration returned 0\n", L"Service installed.\n"}));
  EXPECT_TRUE(output.standard_output.empty());
  EXPECT_TRUE(cleanupCalls.empty());
  ExpectNothingLeaked();
}

TEST_F(RunSequenceTest, NamedProfileSkipsTheProfileTable) {
  mapi.AddProfile("Work Mail");
  EXPECT_EQ(Run({L"PROFILE:Work Mail", L"Svc"}), 0);
  EXPECT_EQ(IndexOf("GetProfileTable(0x0)"), mapi.calls.size());
  EXPECT_LT(IndexOf("AdminServices(Work Mail,null,0,0x80000000)"), mapi.calls.size());
  ExpectNothingLeaked();
}

TEST_F(RunSequenceTest, UninstallRunsTheCleanupInOrderBeforeReleasingMapi) {
  auto& profile = mapi.AddProfile("Default", true);
  mapi.AddService(profile, "Svc");
  clearStore = [this] {
    // The cleanup runs while MAPI is started and the service admin is held.
    EXPECT_EQ(mapi.uninitializeCount, 0);
    EXPECT_EQ(mapi.releases["IMsgServiceAdmin"], 0);
  };
  EXPECT_EQ(Run({L"/u", L"svc"}), 0);
  EXPECT_EQ(cleanupCalls, (std::vector<std::string>{"ClearStoreSettings", "ClearArchiveUrl"}));
  EXPECT_TRUE(profile.services.empty());
  EXPECT_EQ(mapi.uninitializeCount, 1);
  EXPECT_EQ(mapi.calls.back(), "MAPIUninitialize");
  ExpectNothingLeaked();
}

TEST_F(RunSequenceTest, UninstallWithoutAnyProfileStillCleansUp) {
  EXPECT_EQ(Run({L"-u", L"Svc"}), 0);
  EXPECT_EQ(output.debug_output,
            std::vector<std::wstring>{L"There is no profile, unable to add service.\n"});
  EXPECT_EQ(cleanupCalls, (std::vector<std::string>{"ClearStoreSettings", "ClearArchiveUrl"}));
  EXPECT_EQ(mapi.uninitializeCount, 1);
  ExpectNothingLeaked();
}

TEST_F(RunSequenceTest, AnUnreadableServiceTableGoesToStandardOutputWithoutLineBreak) {
  auto& profile = mapi.AddProfile("Default", true);
  mapi.AddService(profile, "Svc");
  struct Case {
    const char* call;
    std::wstring text;
  };
  for (const Case& c :
       {Case{"GetMsgServiceTable", L"Error getting services table: 0X80004005"},
        Case{"GetRowCount:services", L"Error getting the services count: 0X80004005"},
        Case{"QueryRows:services", L"Error getting service rows: 0X80004005"}}) {
    mapi.FailCall(c.call, E_FAIL, 1);
    platform::OutputCapture capture;
    Run({L"-u", L"Svc"});
    EXPECT_EQ(capture.standard_output, std::vector<std::wstring>{c.text}) << c.call;
    EXPECT_EQ(profile.services.size(), 1u) << c.call;
    mapi.FailCall(c.call, E_FAIL, -1);  // never again
  }
  ExpectNothingLeaked();
}

TEST_F(RunSequenceTest, InstallWithoutServiceAdminDoesNothingMore) {
  mapi.AddProfile("Default", true);
  mapi.FailCall("AdminServices", E_FAIL);
  EXPECT_EQ(Run({L"Svc"}), 0);
  EXPECT_EQ(output.debug_output.back(), L"Error getting a service admin: 0X80004005\n");
  EXPECT_TRUE(cleanupCalls.empty());
  EXPECT_EQ(IndexOf("CreateMsgService"), mapi.calls.size());
  EXPECT_EQ(mapi.uninitializeCount, 1);
  ExpectNothingLeaked();
}

TEST_F(RunSequenceTest, AFailureThatEscapesEndsCleanlyWithExitCodeOne) {
  auto& profile = mapi.AddProfile("Default", true);
  mapi.AddService(profile, "Svc");
  clearStore = [] { throw std::bad_alloc(); };
  EXPECT_EQ(Run({L"-u", L"Svc"}), 1);
  // The store cleanup failed; the archive address is cleared all the same.
  EXPECT_EQ(cleanupCalls, (std::vector<std::string>{"ClearStoreSettings", "ClearArchiveUrl"}));
  EXPECT_EQ(output.debug_output.back(), L"Error clearing the store settings: 0X8007000E\n");
  EXPECT_EQ(mapi.releases["IMsgServiceAdmin"], 1);
  EXPECT_EQ(mapi.uninitializeCount, 1);
  EXPECT_EQ(mapi.calls.back(), "MAPIUninitialize");
  ExpectNothingLeaked();
}

TEST_F(RunSequenceTest, AnHResultExceptionKeepsItsCode) {
  mapi.AddProfile("Default", true);
  clearStore = [] { throw CAtlException(E_INVALIDARG); };
  EXPECT_EQ(Run({L"-u", L"Svc"}), 1);
  EXPECT_EQ(output.debug_output.back(), L"Error clearing the store settings: 0X80070057\n");
  EXPECT_EQ(mapi.uninitializeCount, 1);
}

// The run log's lines (what the run sequence writes to it, and the debugger
// channel's copy when an observer is set) as one text, the stamps cut off.
class LoggedRun {
 public:
  LoggedRun() { SetLogTarget(LogTarget::kFile, folder_.File(L"run.log")); }
  ~LoggedRun() { SetLogTarget(LogTarget::kNone); }
  std::string Text() const {
    std::string bytes;
    // A log never written reads as empty, which the checks on its text tell.
    (void)platform::ReadWholeFile(folder_.File(L"run.log"), bytes);
    std::string text;
    for (std::size_t at = 0, end; at < bytes.size(); at = end + 1) {
      end = bytes.find('\n', at);
      text += bytes.substr(bytes.find(' ', at) + 1, end - bytes.find(' ', at));
    }
    return text;
  }

 private:
  testing::TempFolder folder_;
};

// MAPI changes only the running account's profile: under a service account a
// detailed run touches nothing and says why; a classic one goes on as ever and
// only the log warns.
TEST_F(RunSequenceTest, AServiceAccountStopsADetailedRunAndIsWarnedOfInAClassicOne) {
  auto& profile = mapi.AddProfile("Default", true);
  mapi.AddService(profile, "Svc");
  RunContext context{ExitCodeMode::kDetailed, {}};
  context.Facts.ServiceAccount = ServiceAccountKind::LocalSystem;
  {
    LoggedRun log;
    EXPECT_EQ(Run({L"-u", L"Svc"}, context), 5);
    EXPECT_TRUE(mapi.calls.empty());
    EXPECT_TRUE(cleanupCalls.empty());
    ASSERT_EQ(output.debug_output.size(), 1u);
    EXPECT_EQ(output.debug_output[0].rfind(L"Nothing changed: this run is under LocalSystem", 0),
              0u);
    EXPECT_NE(output.debug_output[0].find(L"user's context"), std::wstring::npos);
    EXPECT_EQ(log.Text(), "");  // no observer here: the line is the debugger channel's
  }
  context.Mode = ExitCodeMode::kClassic;
  context.Facts.ServiceAccount = ServiceAccountKind::NetworkService;
  LoggedRun log;
  EXPECT_EQ(Run({L"-u", L"Svc"}, context), 0);
  EXPECT_TRUE(profile.services.empty());
  EXPECT_EQ(cleanupCalls, (std::vector<std::string>{"ClearStoreSettings", "ClearArchiveUrl"}));
  EXPECT_EQ(log.Text(),
            "Warning: this run is under NetworkService: it changes that account's own MAPI "
            "profile, not the user's.\n");
  EXPECT_EQ(output.debug_output.back(), L"Service uninstalled.\n");
  ExpectNothingLeaked();
}

// When MAPI does not start, the log names the likely cause; the debugger
// channel keeps its one line. (A run handed over by its twin tries MAPI
// whatever the bitness says, and never hands back.)
TEST_F(RunSequenceTest, AFailedMapiStartNamesItsLikelyCauseInTheLogOnly) {
  mapi.FailCall("MAPIInitialize", static_cast<HRESULT>(0x80040605));
  RunContext context;
  context.Facts.ProcessBitness = L"x64";
  context.Facts.Client.Bitness = L"x86";
  const testing::ScopedEnvironmentVariable handedOver(kHandedOverVariable, L"1");
  LoggedRun log;
  EXPECT_EQ(Run({L"Svc"}, context), 1);
  EXPECT_EQ(output.debug_output,
            std::vector<std::wstring>{L"Error initializing MAPI: 0X80040605\n"});
  EXPECT_EQ(log.Text(),
            "Likely cause: " + platform::ToUtf8(LikelyMapiStartFailureCause(context.Facts)) + "\n");
  EXPECT_NE(log.Text().find("x86"), std::string::npos);
}

// Beside a mail client of the twin's bitness, with no twin where the package
// puts it, MAPI is not even tried (its dialogs would ask a question nobody
// can answer): the run names the build to install and fails.
TEST_F(RunSequenceTest, WithoutTheTwinBuildTheRunNamesTheBuildToInstall) {
  const std::wstring twin = platform::TwinBuildName();
  if (twin.empty()) GTEST_SKIP() << "this build has no twin";
  RunContext context;
  context.Facts.ProcessBitness = twin == L"x86" ? L"x64" : L"x86";
  context.Facts.Client.Bitness = twin;
  context.Mode = ExitCodeMode::kDetailed;
  EXPECT_EQ(Run({L"Svc"}, context), 1);
  EXPECT_TRUE(mapi.calls.empty());
  ASSERT_EQ(output.debug_output.size(), 1u);
  EXPECT_NE(output.debug_output[0].find(L"install the package, which carries both builds"),
            std::wstring::npos)
      << platform::ToUtf8(output.debug_output[0]);
  EXPECT_NE(output.debug_output[0].find(platform::TwinBuildPath()), std::wstring::npos);
}

// An unquoted display name becomes several plain arguments: the run goes on
// with the last, and the log (only) names the ones passed over.
TEST_F(RunSequenceTest, PlainArgumentsPassedOverAreNamedInTheLog) {
  mapi.AddProfile("Default", true);
  LoggedRun log;
  EXPECT_EQ(Run({L"Archive", L"-u", L"Connector"}), 0);
  EXPECT_EQ(log.Text(),
            "Passed over as the service name (only the last plain argument counts): "
            "\"Archive\"; the service name is \"Connector\".\n");
  EXPECT_EQ(cleanupCalls, (std::vector<std::string>{"ClearStoreSettings", "ClearArchiveUrl"}));
}

}  // namespace
}  // namespace kalinor
