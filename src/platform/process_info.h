// Facts about the running process that its log header records: the build,
// the user it runs as, the local time and the thread.
#pragma once

#include <string>

namespace kalinor::platform {

/// The build's name: "x64" or "x86" (or "ARM64") on Windows, "POSIX" otherwise.
const wchar_t* BuildName();

/// The name of the user the process runs as ("DOMAIN\user" is not added);
/// "" when it cannot be found.
std::wstring CurrentUserName();

/// A moment in local time, with the offset of local time from UTC.
struct LocalTime {
  int Year = 0, Month = 0, Day = 0;  // Month and Day count from 1
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
  int UtcOffsetMinutes = 0;  // east of UTC is positive
};

/// The current local time. All zero when the clock cannot be read.
LocalTime CurrentLocalTime();

/// The calling thread's id (Windows: GetCurrentThreadId; POSIX: the kernel's
/// thread id, else the process id). Never fails.
unsigned long CurrentThreadId();

/// Turns on the system's redirection guard for this process where the
/// system offers one (Windows' RedirectionTrust mitigation: a junction that
/// a non-administrator made is not followed). True when it is on afterwards;
/// false where there is none (older Windows, Wine, POSIX), which is no error.
bool EnableRedirectionGuard();

/// True when the redirection guard is on for this process.
bool IsRedirectionGuardOn();

/// Takes the current folder out of the places the system looks for a DLL
/// loaded by name (Windows: SetDllDirectoryW(L"")), so that a DLL planted in
/// the folder a setup program runs the tool from is never loaded; every other
/// place stays, so that the mail client's MAPI finds its own DLLs. False
/// where that failed; POSIX has no such search: true.
bool RemoveCurrentFolderFromDllSearch();

}  // namespace kalinor::platform
