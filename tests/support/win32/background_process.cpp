#include "support/background_process.h"

#include <windows.h>

#include "platform/files.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::testing {

struct BackgroundProcess::State {
  platform::FileHandle process;
};

BackgroundProcess::BackgroundProcess(const std::wstring& program)
    : state_(std::make_unique<State>()) {
  std::wstring command_line = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started))
    return;
  CloseHandle(started.hThread);
  state_->process.Reset(started.hProcess);
}

BackgroundProcess::~BackgroundProcess() { Stop(); }

bool BackgroundProcess::Started() const { return state_->process.IsValid(); }

void BackgroundProcess::Stop() {
  if (!state_->process.IsValid()) return;
  TerminateProcess(state_->process.Get(), 1);
  // Bounded: a Wine prefix that is shutting down may never signal it, and
  // the program ends itself soon after anyway.
  WaitForSingleObject(state_->process.Get(), 30000);
  // The last handle closed, so that no snapshot lists it any more.
  state_->process.Close();
}

std::wstring BesideThisTest(const std::wstring& name) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  const std::wstring exe(path, length);
  return platform::JoinPath(platform::ParentFolder(exe), name);
}

}  // namespace kalinor::testing
