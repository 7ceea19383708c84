// The POSIX account: the passwd entry of the effective uid, and a SID of the
// form Windows gives a Unix user ("S-1-22-1-<uid>"), so that the facts read
// alike on both builds.
#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "platform/account.h"
#include "platform/text.h"

namespace kalinor::platform {

namespace {

std::wstring PasswdName(uid_t uid) {
  std::vector<char> buffer(16 * 1024);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_name == nullptr)
    return {};
  return FromUtf8(found->pw_name);
}

}  // namespace

AccountInfo CurrentAccount() {
  const uid_t uid = ::geteuid();
  AccountInfo account;
  account.Name = PasswdName(uid);
  account.Sid = FormatText(L"S-1-22-1-%lu", static_cast<unsigned long>(uid));
  account.Elevated = uid == 0;
  const pid_t session = ::getsid(0);
  if (session >= 0) account.SessionId = static_cast<std::uint32_t>(session);
  // Nothing on POSIX tells a service's process from a user's; the stand-in
  // counts every run as a user's (tests pass their own facts).
  account.InteractiveLogon = true;
  return account;
}

}  // namespace kalinor::platform
