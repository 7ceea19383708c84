#include "mapiadmin/message_services.h"

#include <gtest/gtest.h>

#include <cstring>

#include "mapiadmin/profile_selection.h"
#include "platform/output_capture.h"
#include "support/fake_mapi.h"

namespace kalinor {
namespace {

using testing::FakeMapi;
using testing::FakeProfile;

class MessageServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    profile = &mapi.AddProfile("Default", true);
    entry = mapi.EntryPoints();
  }

  // Opens the profile's service administration; its messages are not kept.
  void OpenProfile() {
    platform::OutputCapture discard;
    ASSERT_TRUE(OpenServiceAdmin(entry, holder, L"Default"));
    mapi.calls.clear();
  }

  void TearDown() override {
    holder.Release();
    EXPECT_EQ(mapi.LiveObjects(), 0);
    EXPECT_EQ(mapi.LiveRowSets(), 0);
  }

  int Count(const std::string& prefix) {
    int n = 0;
    for (const auto& call : mapi.calls) n += call.rfind(prefix, 0) == 0;
    return n;
  }

  FakeMapi mapi;
  FakeProfile* profile = nullptr;
  platform::MapiEntryPoints entry;
  ServiceAdminHolder holder;
  // What the library hands back about unreadable service tables.
  std::vector<TableFailure> failures;
  TableFailureReport report = [this](const TableFailure& failure) { failures.push_back(failure); };
};

TEST_F(MessageServicesTest, FindServiceMatchesWholeNamesIgnoringAsciiCase) {
  mapi.AddService(*profile, "ArchiveConnectorX");
  const MAPIUID wanted = mapi.AddService(*profile, "ARCHIVECONNECTOR").uid;
  mapi.AddService(*profile, "ArchiveConnector");
  OpenProfile();
  MAPIUID uid{};
  platform::OutputCapture output;
  ASSERT_TRUE(FindService(entry, holder, L"archiveconnector", report, &uid));
  // The first match in table order wins.
  EXPECT_EQ(std::memcmp(uid.ab, wanted.ab, sizeof uid.ab), 0);
  EXPECT_FALSE(FindService(entry, holder, L"Archive", report));
  EXPECT_TRUE(output.standard_output.empty());
  EXPECT_EQ(mapi.freeProwsCount, 2);
}

TEST_F(MessageServicesTest, FindServiceWithoutAnIdentifierOnTheMatchingRowFails) {
  mapi.AddService(*profile, "Svc").hasUid = false;
  mapi.AddService(*profile, "Svc");
  OpenProfile();
  MAPIUID uid{};
  EXPECT_FALSE(FindService(entry, holder, L"Svc", report, &uid));
  EXPECT_TRUE(FindService(entry, holder, L"Svc", report));
}

TEST_F(MessageServicesTest, TableReadFailuresAreHandedBackWithTheirStep) {
  mapi.AddService(*profile, "Svc");
  OpenProfile();
  struct Case {
    const char* call;
    TableStep step;
  };
  for (const Case& c : {Case{"GetMsgServiceTable", TableStep::kOpen},
                        Case{"GetRowCount:services", TableStep::kCount},
                        Case{"QueryRows:services", TableStep::kRows}}) {
    mapi.FailCall(c.call, E_FAIL, 1);
    failures.clear();
    platform::OutputCapture output;
    EXPECT_FALSE(FindService(entry, holder, L"Svc", report)) << c.call;
    EXPECT_EQ(failures, (std::vector<TableFailure>{{c.step, E_FAIL}})) << c.call;
    // The library writes nothing itself: where it goes is the program's choice.
    EXPECT_TRUE(output.standard_output.empty());
    EXPECT_TRUE(output.debug_output.empty());
    EXPECT_EQ(mapi.LiveRowSets(), 0);
    mapi.FailCall(c.call, E_FAIL, -1);  // never again
  }
}

TEST_F(MessageServicesTest, InstallCreatesOnceAndConfiguresTheNewService) {
  OpenProfile();
  platform::OutputCapture output;
  EXPECT_EQ(InstallService(entry, holder, L"Svc", L"", report), ServiceOutcome::kDone);
  ASSERT_EQ(profile->services.size(), 1u);
  EXPECT_TRUE(profile->services[0].configured);
  // Without a display name the empty text is passed, not the service name.
  EXPECT_EQ(Count("CreateMsgService(Svc,,0,0x0)"), 1);
  EXPECT_EQ(output.debug_output, (std::vector<std::wstring>{L"Service configuration returned 0\n",
                                                            L"Service installed.\n"}));

  platform::OutputCapture again;
  EXPECT_EQ(InstallService(entry, holder, L"SVC", L"Other", report),
            ServiceOutcome::kAlreadyInstalled);
  EXPECT_EQ(again.debug_output, std::vector<std::wstring>{L"The service is already installed.\n"});
  EXPECT_EQ(profile->services.size(), 1u);
}

TEST_F(MessageServicesTest, InstallWithoutServiceAdminIsRefused) {
  platform::OutputCapture output;
  EXPECT_EQ(InstallService(entry, holder, L"Svc", L"Name", report),
            ServiceOutcome::kNoServiceAdmin);
  EXPECT_EQ(output.debug_output,
            std::vector<std::wstring>{L"Unable to install service. First set the profile where the "
                                      L"service should be installed.\n"});
  EXPECT_TRUE(mapi.calls.empty());
}

TEST_F(MessageServicesTest, FailedCreationIsReported) {
  OpenProfile();
  mapi.FailCall("CreateMsgService", MAPI_E_NOT_FOUND);
  platform::OutputCapture output;
  EXPECT_EQ(InstallService(entry, holder, L"Svc", L"Name", report), ServiceOutcome::kFailed);
  EXPECT_EQ(output.debug_output,
            std::vector<std::wstring>{L"Error installing service: 0X8004010F\n"});
  EXPECT_EQ(Count("ConfigureMsgService"), 0);
}

TEST_F(MessageServicesTest, AFailedConfigurationIsReportedAndTheServiceStays) {
  OpenProfile();
  mapi.FailCall("ConfigureMsgService", static_cast<HRESULT>(0x80040111));
  platform::OutputCapture output;
  EXPECT_EQ(InstallService(entry, holder, L"Svc", L"Name", report), ServiceOutcome::kFailed);
  EXPECT_EQ(output.debug_output,
            (std::vector<std::wstring>{L"Service configuration returned 0X80040111\n",
                                       L"Service installed.\n"}));
}

TEST_F(MessageServicesTest, AFailedLookupDuringTheInstallCheckLetsTheCreationGoAhead) {
  mapi.AddService(*profile, "Svc");
  OpenProfile();
  mapi.FailCall("GetMsgServiceTable", E_FAIL, 1);
  platform::OutputCapture output;
  EXPECT_EQ(InstallService(entry, holder, L"Svc", L"Name", report), ServiceOutcome::kFailed);
  EXPECT_EQ(failures, (std::vector<TableFailure>{{TableStep::kOpen, E_FAIL}}));
  EXPECT_EQ(profile->services.size(), 2u);
}

TEST_F(MessageServicesTest, NoConfigurationWhenTheNewServiceCannotBeFound) {
  OpenProfile();
  mapi.FailCall("QueryRows:services", E_FAIL, 1);  // only the lookup after the creation reads rows
  platform::OutputCapture output;
  EXPECT_EQ(InstallService(entry, holder, L"Svc", L"Name", report), ServiceOutcome::kFailed);
  EXPECT_EQ(Count("ConfigureMsgService"), 0);
  EXPECT_EQ(output.debug_output, std::vector<std::wstring>{L"Service installed.\n"});
}

TEST_F(MessageServicesTest, UninstallDeletesEveryServiceOfTheName) {
  mapi.AddService(*profile, "Svc");
  mapi.AddService(*profile, "Keep");
  mapi.AddService(*profile, "svc");
  OpenProfile();
  platform::OutputCapture output;
  EXPECT_EQ(UninstallService(entry, holder, L"SVC", report), ServiceOutcome::kDone);
  ASSERT_EQ(profile->services.size(), 1u);
  EXPECT_EQ(profile->services[0].name, "Keep");
  EXPECT_EQ(Count("DeleteMsgService"), 2);
  EXPECT_EQ(Count("GetMsgServiceTable"), 3);  // read afresh before every deletion
  EXPECT_EQ(output.debug_output, std::vector<std::wstring>{L"Service uninstalled.\n"});
}

TEST_F(MessageServicesTest, UninstallOfAnAbsentNameChangesNothing) {
  mapi.AddService(*profile, "Other");
  OpenProfile();
  platform::OutputCapture output;
  EXPECT_EQ(UninstallService(entry, holder, L"Svc", report), ServiceOutcome::kDone);
  EXPECT_EQ(profile->services.size(), 1u);
  EXPECT_EQ(output.debug_output,
            std::vector<std::wstring>{L"There is no such service installed.\n"});
}

TEST_F(MessageServicesTest, AnUnreadableServiceTableFailsTheUninstall) {
  mapi.AddService(*profile, "Svc");
  OpenProfile();
  mapi.FailCall("GetRowCount:services", E_FAIL, 1);
  platform::OutputCapture output;
  EXPECT_EQ(UninstallService(entry, holder, L"Svc", report), ServiceOutcome::kFailed);
  EXPECT_EQ(failures, (std::vector<TableFailure>{{TableStep::kCount, E_FAIL}}));
  EXPECT_EQ(profile->services.size(), 1u);
}

TEST_F(MessageServicesTest, AFailedDeletionStopsTheUninstallAndKeepsWhatWasDeleted) {
  mapi.AddService(*profile, "Svc");
  mapi.AddService(*profile, "Svc");
  OpenProfile();
  mapi.FailCall("DeleteMsgService", static_cast<HRESULT>(0x80070005), 2);
  platform::OutputCapture output;
  EXPECT_EQ(UninstallService(entry, holder, L"Svc", report), ServiceOutcome::kFailed);
  EXPECT_EQ(profile->services.size(), 1u);
  EXPECT_EQ(output.debug_output,
            std::vector<std::wstring>{L"Error uninstalling service: 0X80070005\n"});
}

TEST_F(MessageServicesTest, AServiceThatOutlivesItsDeletionEndsTheUninstall) {
  mapi.AddService(*profile, "Svc");
  mapi.deleteKeepsServices = true;
  OpenProfile();
  platform::OutputCapture output;
  EXPECT_EQ(UninstallService(entry, holder, L"Svc", report), ServiceOutcome::kFailed);
  EXPECT_EQ(Count("DeleteMsgService"), 1);
  EXPECT_EQ(output.debug_output,
            std::vector<std::wstring>{L"Error uninstalling service: 0X80004005\n"});
}

}  // namespace
}  // namespace kalinor
