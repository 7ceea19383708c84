// On POSIX the program's MAPI is the stand-in: an install through
// SystemMapi() lands in the profile store.
#include <gtest/gtest.h>

#include <string>

#include "mapi_standin_test_helpers.h"
#include "platform/mapi.h"
#include "support/scoped_env.h"

namespace kalinor::platform {
namespace {

using mapi_standin::test_helpers::ReadFileBytes;
using mapi_standin::test_helpers::TemporaryFolder;
using mapi_standin::test_helpers::WidePath;

TEST(SystemMapi, IsTheStandinOverTheProfileStore) {
  TemporaryFolder folder;
  const auto store = folder.Path() / "profiles.xml";
  testing::ScopedEnvironmentVariable variable(L"KALINOR_MAPI_PROFILES", WidePath(store));
  const MapiEntryPoints& mapi = SystemMapi();
  MAPIINIT_0 init{MAPI_INIT_VERSION, 0};
  ASSERT_EQ(mapi.MAPIInitialize(&init), S_OK);
  IProfAdmin* admin = nullptr;
  ASSERT_EQ(mapi.MAPIAdminProfiles(0, &admin), S_OK);
  IMAPITable* table = nullptr;
  ASSERT_EQ(admin->GetProfileTable(0, &table), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(table->QueryRows(1, 0, &rows), S_OK);
  ASSERT_EQ(rows->cRows, 1u);
  mapi.FreeProws(rows);
  table->Release();
  IMsgServiceAdmin* services = nullptr;
  ASSERT_EQ(admin->AdminServices(reinterpret_cast<LPTSTR>(const_cast<wchar_t*>(L"Default")),
                                 nullptr, 0, MAPI_UNICODE, &services),
            S_OK);
  admin->Release();
  EXPECT_EQ(services->CreateMsgService(const_cast<char*>("ArchiveConnector"),
                                       const_cast<char*>("Archive"), 0, 0),
            S_OK);
  services->Release();
  mapi.MAPIUninitialize();
  EXPECT_NE(ReadFileBytes(store).find("name=\"ArchiveConnector\""), std::string::npos);
}

}  // namespace
}  // namespace kalinor::platform
