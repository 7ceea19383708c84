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

namespace {

// PROCESS_MITIGATION_POLICY's ProcessRedirectionTrustPolicy and its flag
// word (bit 0: EnforceRedirectionTrust), spelled out for SDKs older than it.
constexpr int kRedirectionTrustPolicy = 16;
constexpr DWORD kEnforceRedirectionTrust = 1;

using MitigationSetter = BOOL(WINAPI*)(int, PVOID, SIZE_T);
using MitigationGetter = BOOL(WINAPI*)(HANDLE, int, PVOID, SIZE_T);

template <typename Function>
Function Kernel32Entry(const char* name) {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel == nullptr ? nullptr
                           : reinterpret_cast<Function>(
                                 reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

}  // namespace

bool EnableRedirectionGuard() {
  const auto set = Kernel32Entry<MitigationSetter>("SetProcessMitigationPolicy");
  DWORD flags = kEnforceRedirectionTrust;
  return set != nullptr && set(kRedirectionTrustPolicy, &flags, sizeof flags) &&
         IsRedirectionGuardOn();
}

bool IsRedirectionGuardOn() {
  const auto get = Kernel32Entry<MitigationGetter>("GetProcessMitigationPolicy");
  DWORD flags = 0;
  return get != nullptr &&
         get(GetCurrentProcess(), kRedirectionTrustPolicy, &flags, sizeof flags) &&
         (flags & kEnforceRedirectionTrust) != 0;
}

bool RemoveCurrentFolderFromDllSearch() { return SetDllDirectoryW(L"") != FALSE; }

}  // namespace kalinor::platform
