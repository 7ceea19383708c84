// The account the process runs as, for the facts a run records and the
// decisions made on them (a service account changes only its own profile).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kalinor::platform {

/// Who runs this process.
struct AccountInfo {
  /// "DOMAIN\user" on Windows, the passwd entry's name on POSIX; "" when it
  /// cannot be found.
  std::wstring Name;
  /// The account's SID as a string ("S-1-5-18"); on POSIX the usual mapping
  /// of a Unix user, "S-1-22-1-<uid>". "" when it cannot be found.
  std::wstring Sid;
  /// Windows: the token is elevated. POSIX: the effective uid is 0. False
  /// when it cannot be told.
  bool Elevated = false;
  /// Windows: the token is one half of a split (UAC) token, so that a linked
  /// token of the other half exists (TokenElevationType full or limited).
  /// POSIX has no such pair: false. False when it cannot be told.
  bool HasLinkedToken = false;
  /// Windows: the terminal-services session; POSIX: getsid(0). nullopt when
  /// it cannot be found.
  std::optional<std::uint32_t> SessionId;
  /// Windows: the token carries the INTERACTIVE group (S-1-5-4), as a user's
  /// logon at the console or over Remote Desktop does and a service's, a
  /// batch job's or a network logon's does not. POSIX has no such mark: true.
  /// nullopt when the token's groups cannot be read.
  std::optional<bool> InteractiveLogon;
};

/// The account of the current process (its token on Windows, its effective
/// uid on POSIX). Each field that cannot be found keeps its empty value;
/// this never fails as a whole.
AccountInfo CurrentAccount();

}  // namespace kalinor::platform
