#include <windows.h>

#include "platform/process_info.h"

namespace kalinor::platform {

const wchar_t* BuildName() {
#if defined(_M_ARM64) || defined(__aarch64__)
  return L"ARM64";
#elif defined(_WIN64)
  return L"x64";
#else
  return L"x86";
#endif
}

std::wstring CurrentUserName() {
  wchar_t name[257] = {};  // UNLEN + 1
  DWORD size = static_cast<DWORD>(sizeof name / sizeof name[0]);
  if (!GetUserNameW(name, &size)) return std::wstring();
  return name;
}

LocalTime CurrentLocalTime() {
  SYSTEMTIME utc{};
  GetSystemTime(&utc);
  SYSTEMTIME local{};
  // The bias in force at this moment: daylight or standard time.
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return LocalTime{};
  FILETIME utcFile{}, localFile{};
  SystemTimeToFileTime(&utc, &utcFile);
  SystemTimeToFileTime(&local, &localFile);
  ULARGE_INTEGER u{}, l{};
  u.LowPart = utcFile.dwLowDateTime;
  u.HighPart = utcFile.dwHighDateTime;
  l.LowPart = localFile.dwLowDateTime;
  l.HighPart = localFile.dwHighDateTime;
  const long long offset100ns = static_cast<long long>(l.QuadPart - u.QuadPart);
  return LocalTime{local.wYear,         local.wMonth,
                   local.wDay,          local.wHour,
                   local.wMinute,       local.wSecond,
                   local.wMilliseconds, static_cast<int>(offset100ns / 600000000LL)};
}

unsigned long CurrentThreadId() { return GetCurrentThreadId(); }

}  // namespace kalinor::platform
