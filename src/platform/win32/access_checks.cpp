// Access checks over security descriptors read through open handles, and the
// user's own unelevated token that an elevated run checks its acts against.
#include "platform/win32/access_checks.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/account.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {

namespace {

// This process's own token's user and default owner.
struct RunIdentity {
  std::vector<std::uint8_t> User;   // TOKEN_USER
  std::vector<std::uint8_t> Owner;  // TOKEN_OWNER
};

// The split token's halves: whether this run is the elevated one, and the
// user's unelevated token (identification level, which AccessCheck takes)
// when it could be read.
struct SplitToken {
  bool Elevated = false;
  FileHandle UserToken;
};

const SplitToken& ThisRunsSplitToken() {
  static const SplitToken split = [] {
    SplitToken result;
    FileHandle process;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, process.Receive())) return result;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    result.Elevated =
        GetTokenInformation(process.Get(), TokenElevationType, &type, sizeof type, &size) &&
        type == TokenElevationTypeFull;
    TOKEN_LINKED_TOKEN linked{};
    if (result.Elevated &&
        GetTokenInformation(process.Get(), TokenLinkedToken, &linked, sizeof linked, &size))
      result.UserToken.Reset(linked.LinkedToken);
    return result;
  }();
  return split;
}

HANDLE testUserToken = nullptr;

const RunIdentity& ThisRunsIdentity() {
  static const RunIdentity identity = [] {
    RunIdentity result;
    FileHandle process;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, process.Receive())) {
      result.User = TokenInformation(process.Get(), TokenUser);
      result.Owner = TokenInformation(process.Get(), TokenOwner);
    }
    return result;
  }();
  return identity;
}

bool IsThisRunsSid(PSID sid) {
  if (sid == nullptr) return false;
  const RunIdentity& identity = ThisRunsIdentity();
  return (!identity.User.empty() &&
          EqualSid(sid, reinterpret_cast<const TOKEN_USER*>(identity.User.data())->User.Sid)) ||
         (!identity.Owner.empty() &&
          EqualSid(sid, reinterpret_cast<const TOKEN_OWNER*>(identity.Owner.data())->Owner));
}

// Whether dacl grants one of mask to an account other than those accepted.
template <typename Accepted>
bool OthersThan(PACL dacl, ACCESS_MASK mask, Accepted accepted) {
  if (dacl == nullptr) return true;  // no access list: everyone may do anything
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) return true;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 || header->AceType == ACCESS_DENIED_ACE_TYPE)
      continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return true;
    auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if ((ace->Mask & mask) != 0 && !accepted(static_cast<PSID>(&ace->SidStart))) return true;
  }
  return false;
}

}  // namespace

std::vector<std::uint8_t> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
  DWORD size = 0;
  GetTokenInformation(token, kind, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<std::uint8_t> buffer(size);
  if (!GetTokenInformation(token, kind, buffer.data(), size, &size)) return {};
  return buffer;
}

bool IsPrivilegedRun() {
  static const bool privileged = [] {
    const AccountInfo account = CurrentAccount();
    return account.Elevated || account.Sid == L"S-1-5-18" || account.Sid == L"S-1-5-19" ||
           account.Sid == L"S-1-5-20";
  }();
  return privileged;
}

bool HasUserToken() { return testUserToken != nullptr || ThisRunsSplitToken().Elevated; }

void SetUserTokenForTesting(HANDLE token) { testUserToken = token; }

bool UserTokenMay(HANDLE object, ACCESS_MASK access) {
  if (!HasUserToken()) return true;
  const HANDLE token =
      testUserToken != nullptr ? testUserToken : ThisRunsSplitToken().UserToken.Get();
  if (!KernelHandleTraits::IsValid(token)) return false;
  constexpr SECURITY_INFORMATION kParts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // The integrity label where the system gives it: a medium-integrity user
  // may not write what a high label guards.
  if (GetSecurityInfo(object, SE_FILE_OBJECT, kParts | LABEL_SECURITY_INFORMATION, nullptr, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS &&
      GetSecurityInfo(object, SE_FILE_OBJECT, kParts, nullptr, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS)
    return false;
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                          FILE_ALL_ACCESS};
  DWORD desired = access;
  MapGenericMask(&desired, &mapping);
  alignas(PRIVILEGE_SET) unsigned char privileges[256] = {};
  DWORD privilegesLength = sizeof privileges;
  DWORD granted = 0;
  BOOL allowed = FALSE;
  const BOOL checked = AccessCheck(descriptor, token, desired, &mapping,
                                   reinterpret_cast<PPRIVILEGE_SET>(privileges), &privilegesLength,
                                   &granted, &allowed);
  LocalFree(descriptor);
  return checked && allowed;
}

bool IsSystemSid(PSID sid) {
  wchar_t* text = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return false;
  const std::wstring value(text);
  LocalFree(text);
  return value == L"S-1-5-18" || value == L"S-1-5-32-544" ||
         value == L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
}

bool OthersMay(PACL dacl, ACCESS_MASK mask) { return OthersThan(dacl, mask, IsSystemSid); }

bool OthersThanThisRunMay(PACL dacl, ACCESS_MASK mask) {
  return OthersThan(dacl, mask, [](PSID sid) { return IsSystemSid(sid) || IsThisRunsSid(sid); });
}

bool SecurityOf(HANDLE object, PSID& owner, PACL& dacl, PSECURITY_DESCRIPTOR& descriptor) {
  return GetSecurityInfo(object, SE_FILE_OBJECT,
                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                         &dacl, nullptr, &descriptor) == ERROR_SUCCESS;
}

bool OwnedByThisRun(HANDLE object) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const bool own = SecurityOf(object, owner, dacl, descriptor) && IsThisRunsSid(owner);
  LocalFree(descriptor);
  return own;
}

bool OnlyThisRunMay(HANDLE object, ACCESS_MASK mask) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const bool only = SecurityOf(object, owner, dacl, descriptor) &&
                    (IsSystemSid(owner) || IsThisRunsSid(owner)) &&
                    !OthersThanThisRunMay(dacl, mask);
  LocalFree(descriptor);
  return only;
}

bool OnlyThisRunMayChange(HANDLE folder) {
  return OnlyThisRunMay(folder, FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                                    WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL);
}

}  // namespace kalinor::platform
