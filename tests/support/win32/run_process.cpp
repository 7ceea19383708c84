// Windows: CreateProcessW with a command line quoted for CommandLineToArgvW,
// a UTF-16 environment block, and standard output read from a pipe.
#include <windows.h>

#include "platform/text.h"
#include "platform/win32/scoped_handles.h"
#include "platform/quoted_argument.h"
#include "support/run_process.h"

namespace kalinor::testing {

namespace {

using Handle = platform::FileHandle;

std::wstring CommandLine(const std::wstring& program, const std::vector<std::string>& args) {
  // The program name follows simpler rules (no backslash escapes): quotes
  // around it are enough, and a path holds no quote.
  std::wstring line = L"\"" + program + L"\"";
  for (const auto& arg : args) line += L" " + platform::QuotedArgument(platform::FromUtf8(arg));
  return line;
}

// name=value entries, each NUL-terminated, and a NUL after the last. The
// loader needs SystemRoot (and Wine its own variables): when the test does
// not set it, the child gets this process's.
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& environment) {
  std::wstring block;
  bool has_system_root = false;
  for (const auto& [name, value] : environment) {
    if (platform::EqualsIgnoringAsciiCase(name, "SystemRoot")) has_system_root = true;
    block += platform::FromUtf8(name) + L"=" + platform::FromUtf8(value);
    block += L'\0';
  }
  if (!has_system_root) {
    wchar_t root[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"SystemRoot", root, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      block += L"SystemRoot=" + std::wstring(root, length);
      block += L'\0';
    }
  }
  block += L'\0';
  if (block.size() == 1) block += L'\0';  // an empty block still ends in two NULs
  return block;
}

// A process attribute list that lets the child inherit one handle only, so
// that a child started at the same time by another thread does not keep
// this pipe open.
class InheritOnly {
 public:
  explicit InheritOnly(HANDLE handle) : handle_(handle) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    ready_ = InitializeProcThreadAttributeList(list_, 1, 0, &size) &&
             UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle_,
                                       sizeof handle_, nullptr, nullptr);
  }
  ~InheritOnly() {
    if (list_ != nullptr) DeleteProcThreadAttributeList(list_);
  }
  InheritOnly(const InheritOnly&) = delete;
  InheritOnly& operator=(const InheritOnly&) = delete;
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return ready_ ? list_ : nullptr; }

 private:
  HANDLE handle_;
  std::vector<unsigned char> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
  bool ready_ = false;
};

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& environment) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle read_end;
  Handle write_end;
  if (!CreatePipe(read_end.Receive(), write_end.Receive(), &inheritable, 0)) return result;
  SetHandleInformation(read_end.Get(), HANDLE_FLAG_INHERIT, 0);

  InheritOnly inherit(write_end.Get());
  if (inherit.get() == nullptr) return result;
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdOutput = write_end.Get();
  startup.lpAttributeList = inherit.get();

  const std::wstring program_path = platform::FromUtf8(program);
  std::wstring command_line = CommandLine(program_path, args);
  std::wstring block = EnvironmentBlock(environment);
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(program_path.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                     CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW,
                     block.data(), nullptr, &startup.StartupInfo, &process);
  write_end.Close();  // the child holds its own copy; EOF comes when it exits
  if (!started) return result;
  Handle child(process.hProcess);
  Handle thread(process.hThread);

  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read_end.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    result.standardOutput.append(buffer, got);
  WaitForSingleObject(child.Get(), INFINITE);
  DWORD code = 0;
  // An exception status (0xC...) means the child crashed rather than exited.
  if (GetExitCodeProcess(child.Get(), &code) && (code & 0xC0000000u) != 0xC0000000u)
    result.exitCode = static_cast<int>(code);
  return result;
}

}  // namespace kalinor::testing
