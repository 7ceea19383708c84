// The Windows process list: a Toolhelp snapshot, each entry's executable
// name and the session its process runs in.
#include <windows.h>
#include <tlhelp32.h>

#include "platform/running_programs.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {

namespace {

bool SameName(const wchar_t* found, const std::wstring& name) {
  return CompareStringOrdinal(found, -1, name.c_str(), static_cast<int>(name.size()), TRUE) ==
         CSTR_EQUAL;
}

bool InSession(DWORD process_id, DWORD session) {
  DWORD found = 0;
  return ProcessIdToSessionId(process_id, &found) && found == session;
}

}  // namespace

bool IsProgramRunningInSession(const std::wstring& executable_name) {
  DWORD session = 0;
  if (executable_name.empty() || !ProcessIdToSessionId(GetCurrentProcessId(), &session))
    return false;
  FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (SameName(entry.szExeFile, executable_name) && InSession(entry.th32ProcessID, session))
      return true;
  }
  return false;
}

}  // namespace kalinor::platform
