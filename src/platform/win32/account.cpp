// The Windows account: the process token's user (name and SID) and
// elevation, and the process's terminal-services session.
#include <windows.h>
#include <sddl.h>

#include <vector>

#include "platform/account.h"
#include "platform/win32/access_checks.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {

namespace {

std::wstring SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return {};
  std::wstring result(text);
  LocalFree(text);
  return result;
}

// "DOMAIN\user"; just the name when the account has no domain part.
std::wstring AccountName(PSID sid) {
  wchar_t name[256] = {};
  wchar_t domain[256] = {};
  DWORD name_size = 256;
  DWORD domain_size = 256;
  SID_NAME_USE use{};
  if (!LookupAccountSidW(nullptr, sid, name, &name_size, domain, &domain_size, &use)) return {};
  return domain[0] == L'\0' ? std::wstring(name) : std::wstring(domain) + L"\\" + name;
}

bool HasLinkedToken(HANDLE token) {
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  return GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size) &&
         type != TokenElevationTypeDefault;
}

bool IsElevated(HANDLE token) {
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}

// Whether the token's enabled groups hold INTERACTIVE (S-1-5-4); nullopt when
// the groups cannot be read.
std::optional<bool> HasInteractiveGroup(HANDLE token) {
  const std::vector<std::uint8_t> buffer = TokenInformation(token, TokenGroups);
  if (buffer.empty()) return std::nullopt;
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID interactive = nullptr;
  if (!AllocateAndInitializeSid(&nt_authority, 1, SECURITY_INTERACTIVE_RID, 0, 0, 0, 0, 0, 0, 0,
                                &interactive))
    return std::nullopt;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  bool found = false;
  for (DWORD i = 0; i < groups->GroupCount && !found; ++i) {
    const SID_AND_ATTRIBUTES& group = groups->Groups[i];
    found = (group.Attributes & SE_GROUP_ENABLED) != 0 && EqualSid(group.Sid, interactive);
  }
  FreeSid(interactive);
  return found;
}

}  // namespace

AccountInfo CurrentAccount() {
  AccountInfo account;
  DWORD session = 0;
  if (ProcessIdToSessionId(GetCurrentProcessId(), &session)) account.SessionId = session;
  FileHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return account;
  const std::vector<std::uint8_t> user = TokenInformation(token.Get(), TokenUser);
  if (!user.empty()) {
    PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    account.Sid = SidText(sid);
    account.Name = AccountName(sid);
  }
  account.Elevated = IsElevated(token.Get());
  account.HasLinkedToken = HasLinkedToken(token.Get());
  account.InteractiveLogon = HasInteractiveGroup(token.Get());
  return account;
}

}  // namespace kalinor::platform
