#include <pwd.h>
#include <sys/time.h>
#include <unistd.h>

#include <ctime>
#include <vector>

#include "platform/environment.h"
#include "platform/process_info.h"
#include "platform/text.h"

namespace kalinor::platform {

const wchar_t* BuildName() { return L"POSIX"; }

std::wstring CurrentUserName() {
  std::vector<char> buffer(16 * 1024);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_name != nullptr) {
    return FromUtf8(found->pw_name);
  }
  return GetEnvironmentVariableText(L"USER");
}

LocalTime CurrentLocalTime() {
  timeval now{};
  std::tm local{};
  if (::gettimeofday(&now, nullptr) != 0 || ::localtime_r(&now.tv_sec, &local) == nullptr) {
    return LocalTime{};
  }
  return LocalTime{local.tm_year + 1900,
                   local.tm_mon + 1,
                   local.tm_mday,
                   local.tm_hour,
                   local.tm_min,
                   local.tm_sec,
                   static_cast<int>(now.tv_usec / 1000),
                   static_cast<int>(local.tm_gmtoff / 60)};
}

// The run has one thread, its main thread, whose id the kernel gives as the
// process id.
unsigned long CurrentThreadId() { return static_cast<unsigned long>(::getpid()); }

// POSIX has no such mitigation; the held folders refuse links themselves.
bool EnableRedirectionGuard() { return false; }

bool RemoveCurrentFolderFromDllSearch() { return true; }

bool IsRedirectionGuardOn() { return false; }

}  // namespace kalinor::platform
