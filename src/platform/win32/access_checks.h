// Who may do what to an open file or folder, from the security descriptor
// read through its handle: the checks a privileged run makes so that it does
// nothing in a user's folder that the user could not do. For the platform
// layer's Windows files only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace kalinor::platform {

/// The token information of one class, in a buffer of the size the token
/// asks for; empty when it cannot be read.
std::vector<std::uint8_t> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind);

/// True for an elevated token or a service account's (SYSTEM, LOCAL
/// SERVICE, NETWORK SERVICE): rights beyond a user's own. Read once.
bool IsPrivilegedRun();

/// True when this run is the elevated half of a split token, whose other
/// half (the linked token) is the user's own unelevated token. Read once.
bool HasUserToken();

/// Whether the user's own unelevated token is granted access to the open
/// object (AccessCheck over the owner, group, DACL and integrity label read
/// through the handle, which needs READ_CONTROL). True when the run has no
/// user token (HasUserToken() false); false when the linked token or the
/// descriptor cannot be read.
bool UserTokenMay(HANDLE object, ACCESS_MASK access);

/// Makes token (identification level or above) the user token that
/// HasUserToken() and UserTokenMay() use from now on, for a test on a system
/// without a split token; null goes back to the run's own.
void SetUserTokenForTesting(HANDLE token);

/// True for SID of SYSTEM, the Administrators group or TrustedInstaller:
/// the accounts whose files and links are the system's. False for null.
bool IsSystemSid(PSID sid);

/// Whether the access list lets any account but the system's have one of
/// the rights in mask (inherit-only entries apply to children only; a
/// conditional or object grant counts as anyone's). True for a null list.
bool OthersMay(PACL dacl, ACCESS_MASK mask);

/// As OthersMay, counting this run's own account (its user and default
/// owner) with the system's.
bool OthersThanThisRunMay(PACL dacl, ACCESS_MASK mask);

/// The owner and DACL of an open object, in descriptor (LocalFree it);
/// false when they cannot be read.
bool SecurityOf(HANDLE object, PSID& owner, PACL& dacl, PSECURITY_DESCRIPTOR& descriptor);

/// Whether the open object's owner is this process's user or its token's
/// default owner (the Administrators group, for an elevated token). False
/// when either cannot be read.
bool OwnedByThisRun(HANDLE object);

/// Whether the open object's owner is the system's or this run's account,
/// and no other account may do any of mask to it. False when its security
/// cannot be read.
bool OnlyThisRunMay(HANDLE object, ACCESS_MASK mask);

/// OnlyThisRunMay for adding, removing or re-permitting a folder's entries.
bool OnlyThisRunMayChange(HANDLE folder);

}  // namespace kalinor::platform
