// An elevated run holding the user's own unelevated token does in a folder
// only what that token may: in a folder whose access list grants the system
// and the administrators alone, every act is refused and named, and nothing
// there changes, though the run's own elevated rights would allow it. Where
// the run holds no split token (a build machine with UAC off), the user's
// token is made as UAC makes it: the administrators' group for deny only.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/checked_file.h"
#include "platform/held_folder.h"
#include "platform/text.h"
#include "platform/win32/access_checks.h"
#include "platform/win32/scoped_handles.h"
#include "support/temp_folder.h"

namespace kalinor {
namespace {

using platform::ErrorKind;
using platform::HeldFolder;

// Gives path a protected access list of SYSTEM and Administrators only.
bool GrantAdministratorsOnly(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                                                            SDDL_REVISION_1, &descriptor, nullptr))
    return false;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  const bool set =
      GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
      SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
  LocalFree(descriptor);
  return set;
}

// This process's token with the Administrators group for deny only, at
// identification level; empty when it cannot be made.
platform::FileHandle UnelevatedTokenOfThisRun() {
  platform::FileHandle process;
  platform::FileHandle restricted;
  platform::FileHandle identification;
  alignas(DWORD) BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, process.Receive()) ||
      !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size))
    return {};
  SID_AND_ATTRIBUTES denyOnly{administrators, 0};
  if (!CreateRestrictedToken(process.Get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr,
                             restricted.Receive()) ||
      !DuplicateToken(restricted.Get(), SecurityIdentification, identification.Receive()))
    return {};
  return identification;
}

// Whether the user token may add a file to the folder at path.
bool UserMayAddTo(const std::wstring& path) {
  const platform::FileHandle folder(CreateFileW(
      path.c_str(), READ_CONTROL, 7, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return platform::UserTokenMay(folder.Get(), FILE_ADD_FILE);
}

TEST(UserToken, AnElevatedRunDoesOnlyWhatTheUsersOwnTokenMay) {
  platform::FileHandle made;
  if (!platform::HasUserToken()) {
    made = UnelevatedTokenOfThisRun();
    ASSERT_TRUE(made.IsValid());
    platform::SetUserTokenForTesting(made.Get());
  }
  struct Restore {
    ~Restore() { platform::SetUserTokenForTesting(nullptr); }
  } restore;
  testing::TempFolder temp;
  const std::wstring folder = temp.Join(L"admins");
  ASSERT_TRUE(testing::MakeFolder(folder));
  ASSERT_TRUE(testing::WriteBytes(folder + L"\\Settings.xml", "old"));
  ASSERT_TRUE(UserMayAddTo(folder));
  {
    // Where the user may act, the same acts go through.
    const HeldFolder own = HeldFolder::Open(temp.Path());
    ASSERT_TRUE(own.IsHeld());
    EXPECT_FALSE(own.WriteAtomically(L"Own.xml", "new", platform::ExistingFile::kKeep).Failed());
    EXPECT_FALSE(own.Delete(L"Own.xml").Failed());
  }
  ASSERT_TRUE(GrantAdministratorsOnly(folder));
  ASSERT_TRUE(GrantAdministratorsOnly(folder + L"\\Settings.xml"));
  if (UserMayAddTo(folder)) GTEST_SKIP() << "this system keeps no access list it is given (Wine)";

  const HeldFolder held = HeldFolder::Open(folder);
  ASSERT_TRUE(held.IsHeld()) << platform::ToUtf8(DescribeSystemError(held.OpenError()));
  std::string bytes;
  const platform::SystemError refusals[] = {
      held.WriteAtomically(L"Settings.xml", "new", platform::ExistingFile::kReplace),
      held.WriteAtomically(L"New.xml", "new", platform::ExistingFile::kKeep),
      held.Delete(L"Settings.xml"),
      held.ReadWhole(L"Settings.xml", bytes),
      held.MoveTo(L"Settings.xml", held, L"Moved.xml"),
      held.CreateFolder(L"DebugLogs").OpenError(),
  };
  for (const platform::SystemError& refusal : refusals) {
    EXPECT_EQ(refusal.Kind(), ErrorKind::kDenied) << platform::ToUtf8(DescribeSystemError(refusal));
    EXPECT_NE(DescribeSystemError(refusal).find(L"not allowed to the user this run acts for"),
              std::wstring::npos);
  }
  const platform::CheckedFile log =
      platform::OpenCheckedFile(folder + L"\\setup.log", platform::CheckedFileUse::kAppend);
  EXPECT_FALSE(log.File.IsValid());
  EXPECT_EQ(log.Refusal, L"not allowed to the user this run acts for");
  EXPECT_EQ(testing::TempFolder::FolderEntries(folder), std::vector<std::wstring>{L"Settings.xml"});
  EXPECT_EQ(testing::ReadBytes(folder + L"\\Settings.xml"), std::string("old"));
}

}  // namespace
}  // namespace kalinor
