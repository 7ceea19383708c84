// The twin build over GetModuleFileNameW and CreateProcessW.
#include "platform/twin_build.h"

#include <windows.h>

#include "platform/files.h"
#include "platform/quoted_argument.h"
#include "platform/win32/access_checks.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {

namespace {

// This program's own path; "" when it cannot be read.
std::wstring ThisProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);
  }
}

// Whether the open file or folder is no link and no account but the
// system's and this run's own owns it or may do any of mask to it.
bool OnlyOursMay(HANDLE entry, ACCESS_MASK mask) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  return GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag) &&
         (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && OnlyThisRunMay(entry, mask);
}

FileHandle OpenToInspect(const std::wstring& path) {
  return FileHandle(
      CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Lets the child take over this process's standard handles.
void MakeInheritable(HANDLE handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

}  // namespace

const wchar_t* TwinBuildName() {
#if defined(_M_X64) || defined(__x86_64__)
  return L"x86";
#elif defined(_M_IX86) || defined(__i386__)
  return L"x64";
#else
  return L"";
#endif
}

std::wstring TwinBuildPath() {
  const std::wstring self = ThisProgramPath();
  const std::wstring twin = TwinBuildName();
  if (self.empty() || twin.empty()) return {};
  const std::wstring folder = ParentFolder(self);
  const std::wstring name = LastPathPart(self);
  if (twin == L"x86") return JoinPath(JoinPath(folder, L"x86"), name);
  return JoinPath(ParentFolder(folder), name);
}

bool TwinIsSafeToRun(const std::wstring& path) {
  if (!IsPrivilegedRun()) return true;
  constexpr ACCESS_MASK kChangeFile = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER |
                                      GENERIC_WRITE | GENERIC_ALL;
  constexpr ACCESS_MASK kChangeFolder =
      DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  const FileHandle file = OpenToInspect(path);
  if (!file.IsValid() || !OnlyOursMay(file.Get(), kChangeFile)) return false;
  for (std::wstring folder = ParentFolder(path); !folder.empty();) {
    const FileHandle opened = OpenToInspect(folder);
    if (!opened.IsValid() || !OnlyOursMay(opened.Get(), kChangeFolder)) return false;
    const std::wstring above = ParentFolder(folder);
    if (above == folder) break;
    folder = above;
  }
  return true;
}

std::optional<int> RunInThisOnesPlace(const std::wstring& program,
                                      const std::vector<std::wstring>& args, SystemError& error) {
  std::wstring commandLine = QuotedArgument(program);
  for (const std::wstring& arg : args) commandLine += L" " + QuotedArgument(arg);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
    MakeInheritable(handle);
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &started)) {
    error = LastSystemError();
    return std::nullopt;
  }
  CloseHandle(started.hThread);
  const FileHandle process(started.hProcess);
  DWORD exitCode = 1;
  if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.Get(), &exitCode)) {
    error = LastSystemError();
    return std::nullopt;
  }
  return static_cast<int>(exitCode);
}

}  // namespace kalinor::platform
