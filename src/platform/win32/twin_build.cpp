// The twin build over GetModuleFileNameW and CreateProcessW.
#include "platform/twin_build.h"

#include <windows.h>

#include "platform/files.h"
#include "platform/quoted_argument.h"
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
