#include "mapiadmin/profile_selection.h"

#include <gtest/gtest.h>

#include "platform/output_capture.h"
#include "platform/text.h"
#include "support/fake_mapi.h"

namespace kalinor {
namespace {

using testing::FakeMapi;

class ProfileSelectionTest : public ::testing::Test {
 protected:
  bool Open(const wchar_t* profile = nullptr) {
    entry = mapi.EntryPoints();
    return OpenServiceAdmin(entry, holder, profile);
  }

  // What AdminServices was asked for, or "" when it was not called.
  std::string AdminServicesCall() {
    for (const auto& call : mapi.calls) {
      if (call.rfind("AdminServices(", 0) == 0) return call;
    }
    return "";
  }

  void TearDown() override {
    holder.Release();
    EXPECT_EQ(mapi.LiveObjects(), 0);
    EXPECT_EQ(mapi.LiveRowSets(), 0);
  }

  FakeMapi mapi;
  platform::MapiEntryPoints entry;
  ServiceAdminHolder holder;
  platform::OutputCapture output;
};

TEST_F(ProfileSelectionTest, NamedProfileIsUsedAsTypedWithoutReadingTheTable) {
  mapi.AddProfile("Other", true);
  mapi.AddProfile("Work Mail");
  ASSERT_TRUE(Open(L"Work Mail"));
  EXPECT_TRUE(holder.ServiceAdmin);
  EXPECT_EQ(AdminServicesCall(), "AdminServices(Work Mail,null,0,0x80000000)");
  for (const auto& call : mapi.calls) EXPECT_EQ(call.find("GetProfileTable"), std::string::npos);
  EXPECT_EQ(output.debug_output,
            (std::vector<std::wstring>{L"Getting admin services for profile:", L"Work Mail"}));
}

TEST_F(ProfileSelectionTest, EmptyNameMeansNoneNamed) {
  mapi.AddProfile("Only");
  ASSERT_TRUE(Open(L""));
  EXPECT_EQ(AdminServicesCall(), "AdminServices(Only,null,0,0x80000000)");
}

TEST_F(ProfileSelectionTest, TheOnlyProfileIsChosenEvenWhenNotDefault) {
  mapi.AddProfile("Outlook");
  ASSERT_TRUE(Open());
  EXPECT_EQ(AdminServicesCall(), "AdminServices(Outlook,null,0,0x80000000)");
}

TEST_F(ProfileSelectionTest, TheDefaultProfileIsChosenWhereverItStands) {
  mapi.AddProfile("A");
  mapi.AddProfile("B");
  mapi.AddProfile("C", true);
  ASSERT_TRUE(Open());
  EXPECT_EQ(AdminServicesCall(), "AdminServices(C,null,0,0x80000000)");
}

TEST_F(ProfileSelectionTest, AmongSeveralDefaultsTheFirstWithANameWins) {
  mapi.AddProfile("", true).hasName = false;
  mapi.AddProfile("Second", true);
  mapi.AddProfile("Third", true);
  ASSERT_TRUE(Open());
  EXPECT_EQ(AdminServicesCall(), "AdminServices(Second,null,0,0x80000000)");
}

TEST_F(ProfileSelectionTest, NonAsciiProfileNamesSurviveTheCodePage) {
  mapi.AddProfile(platform::ToAnsiCodePage(L"Jörg's Mail"), true);
  mapi.AddProfile("Other");
  ASSERT_TRUE(Open());
  EXPECT_EQ(output.debug_output[1], L"Jörg's Mail");
}

struct SelectionFailure {
  const char* description;
  std::function<void(FakeMapi&)> setUp;
  std::wstring message;
  ProfilePurpose purpose = ProfilePurpose::kChange;
};

TEST_F(ProfileSelectionTest, EachFailureIsReportedAndLeavesTheHolderEmpty) {
  const std::vector<SelectionFailure> cases = {
      {"no default",
       [](FakeMapi& m) {
         m.AddProfile("A");
         m.AddProfile("B");
       },
       L"Unable to find a default profile.\n"},
      {"single unnamed", [](FakeMapi& m) { m.AddProfile("", true).hasName = false; },
       L"Unable to find a default profile.\n"},
      {"no profile", [](FakeMapi&) {}, L"There is no profile, unable to add service.\n"},
      // A look that changes nothing says nothing of adding a service.
      {"no profile, looked at", [](FakeMapi&) {}, L"There is no profile.\n", ProfilePurpose::kLook},
      {"admin profiles", [](FakeMapi& m) { m.FailCall("MAPIAdminProfiles", E_OUTOFMEMORY, 2); },
       L"Error getting admin profile: 0X8007000E\n"},
      {"profile table",
       [](FakeMapi& m) {
         m.AddProfile("A");
         m.FailCall("GetProfileTable", E_FAIL);
       },
       L"Error getting profiles table: 0X80004005\n"},
      {"row count",
       [](FakeMapi& m) {
         m.AddProfile("A");
         m.FailCall("GetRowCount:profiles", 1);
       },
       L"Error getting profiles count: 0X1\n"},
      {"rows",
       [](FakeMapi& m) {
         m.AddProfile("A");
         m.FailCall("QueryRows:profiles", MAPI_E_NOT_FOUND);
       },
       L"Error getting profile rows: 0X8004010F\n"},
      {"admin services",
       [](FakeMapi& m) {
         m.AddProfile("A");
         m.FailCall("AdminServices", MAPI_E_NOT_FOUND, 2);
       },
       L"Error getting a service admin: 0X8004010F\n"},
  };
  for (const auto& failure : cases) {
    FakeMapi fake;
    failure.setUp(fake);
    // A holder that held an interface before the call is emptied too (the
    // set-up takes the first MAPIAdminProfiles and AdminServices calls).
    fake.AddProfile("Previous");
    auto entryPoints = fake.EntryPoints();
    ServiceAdminHolder held;
    IProfAdmin* admin = nullptr;
    ASSERT_EQ(entryPoints.MAPIAdminProfiles(0, &admin), S_OK);
    ASSERT_EQ(admin->AdminServices(reinterpret_cast<LPTSTR>(const_cast<wchar_t*>(L"Previous")),
                                   nullptr, 0, MAPI_UNICODE, held.ServiceAdmin.Receive()),
              S_OK);
    admin->Release();
    fake.profiles.pop_back();  // only the held admin knew it

    platform::OutputCapture capture;
    EXPECT_FALSE(OpenServiceAdmin(entryPoints, held, nullptr, failure.purpose))
        << failure.description;
    EXPECT_FALSE(held.ServiceAdmin) << failure.description;
    ASSERT_FALSE(capture.debug_output.empty()) << failure.description;
    EXPECT_EQ(capture.debug_output.back(), failure.message) << failure.description;
    EXPECT_EQ(fake.LiveObjects(), 0) << failure.description;
    EXPECT_EQ(fake.LiveRowSets(), 0) << failure.description;
  }
}

TEST_F(ProfileSelectionTest, NameIsWrittenBeforeTheAdminServicesError) {
  mapi.AddProfile("Default", true);
  mapi.FailCall("AdminServices", E_FAIL);
  EXPECT_FALSE(Open());
  EXPECT_EQ(output.debug_output,
            (std::vector<std::wstring>{L"Getting admin services for profile:", L"Default",
                                       L"Error getting a service admin: 0X80004005\n"}));
}

TEST_F(ProfileSelectionTest, EveryObjectIsReleasedExactlyOnce) {
  mapi.AddProfile("Default", true);
  ASSERT_TRUE(Open());
  EXPECT_EQ(mapi.releases["IProfAdmin"], 1);
  EXPECT_EQ(mapi.releases["IMAPITable"], 1);
  EXPECT_EQ(mapi.freeProwsCount, 1);
  EXPECT_EQ(mapi.LiveObjects(), 1);  // the holder's service admin
  holder.Release();
  EXPECT_EQ(mapi.releases["IMsgServiceAdmin"], 1);
}

}  // namespace
}  // namespace kalinor
