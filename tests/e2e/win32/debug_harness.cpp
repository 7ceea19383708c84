// A debug-output viewer for tests: starts a program as a debugged child
// (DEBUG_ONLY_THIS_PROCESS) and reports what it did, one line per item, so
// that a script can compare the debugger channel write by write.
//
//   kalinor_debug_harness [--timeout-ms N] PROGRAM [ARGUMENT...]
//
// Report on standard output (ASCII only; every text escaped as below), first
// the events in the order they happened:
//   debug <text>       one OutputDebugString write
//   exception <code>   an exception the child left unhandled (a crash)
//   timeout            the child outlived the time limit (default 60 s) and was ended
//   error <what>       the harness could not follow the child
// then, once the child has exited:
//   stdout <bytes>     everything the child wrote to its standard output
//   stderr <bytes>     everything the child wrote to its standard error
//   exit <code>        the child's exit code, in decimal
// Escapes: \\ for a backslash, \n \r \t, and \xHH for any other byte outside
// printable ASCII; debugger texts are given as UTF-8 before escaping.
// The harness exits with 0 when the report is complete, 2 when the child
// could not be started.
//
// Under Wine (8.0) a first-chance exception that a debugger passes back to
// the child is dispatched with a broken unwind context, so a C++ exception
// thrown and caught inside a debugged 64-bit process crashes it. There the
// harness hides itself from the child's PEB at the loader breakpoint: Wine
// then dispatches exceptions inside the child, and its OutputDebugString,
// finding no debugger, hands each write to the DBWIN buffer that debug
// viewers read, which the harness reads too. On Windows the debugger events
// carry the writes.
#include <windows.h>
#include <shellapi.h>
#include <winternl.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/scoped_handles.h"
#include "platform/quoted_argument.h"

namespace {

constexpr DWORD kDefaultTimeoutMs = 60000;

using Handle = kalinor::platform::FileHandle;

std::string Escaped(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else if (c >= 0x20 && c < 0x7F)
      out += static_cast<char>(c);
    else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::string AnsiToUtf8(const std::string& text) {
  if (text.empty()) return std::string();
  const int size =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return ToUtf8(wide);
}

std::string UpToNul(std::string text) {
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

// The report goes out unconverted (no CR before LF), whatever the console.
void Report(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

// The report's event lines (debug writes, exceptions, the timeout) in the
// order they happened, whichever thread saw them.
class EventLog {
 public:
  void Add(std::string line) {
    const std::lock_guard<std::mutex> guard(m_mutex);
    m_lines.push_back(std::move(line));
  }
  void AddDebugWrite(const std::string& utf8) { Add("debug " + Escaped(utf8)); }
  std::vector<std::string> Taken() {
    const std::lock_guard<std::mutex> guard(m_mutex);
    return std::move(m_lines);
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_lines;
};

// Reads the DBWIN buffer as debug viewers do: a writer waits for
// DBWIN_BUFFER_READY, puts its process id and the ANSI text in the shared
// buffer and sets DBWIN_DATA_READY; each such round is one write.
class DbwinListener {
 public:
  static constexpr DWORD kBufferSize = 4096;

  explicit DbwinListener(EventLog& log) : m_log(log) {
    m_buffer_ready.Reset(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY"));
    bool taken = GetLastError() == ERROR_ALREADY_EXISTS;
    m_data_ready.Reset(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
    taken = taken || GetLastError() == ERROR_ALREADY_EXISTS;
    m_mapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       kBufferSize, L"DBWIN_BUFFER"));
    taken = taken || GetLastError() == ERROR_ALREADY_EXISTS;
    m_stop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (m_mapping.IsValid())
      m_view = static_cast<const char*>(MapViewOfFile(m_mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    m_ready = !taken && m_buffer_ready.IsValid() && m_data_ready.IsValid() && m_stop.IsValid() &&
              m_view != nullptr;
  }

  ~DbwinListener() {
    Stop();
    if (m_view != nullptr) UnmapViewOfFile(m_view);
  }

  DbwinListener(const DbwinListener&) = delete;
  DbwinListener& operator=(const DbwinListener&) = delete;

  /// False when the shared objects could not be made or another viewer owns them.
  bool Ready() const { return m_ready; }

  /// Starts taking the writes of process `pid`.
  void Start(DWORD pid) {
    m_pid = pid;
    m_thread = std::thread([this] { Listen(); });
  }

  /// Takes a write still waiting in the buffer, then stops.
  void Stop() {
    if (!m_thread.joinable()) return;
    SetEvent(m_stop.Get());
    m_thread.join();
  }

 private:
  void Listen() {
    SetEvent(m_buffer_ready.Get());
    const HANDLE events[2] = {m_data_ready.Get(), m_stop.Get()};
    for (;;) {
      const DWORD signalled = WaitForMultipleObjects(2, events, FALSE, INFINITE);
      if (signalled != WAIT_OBJECT_0) {
        // Stopping: the child has exited, its last write may still wait here.
        if (WaitForSingleObject(m_data_ready.Get(), 0) == WAIT_OBJECT_0) TakeWrite();
        return;
      }
      TakeWrite();
      SetEvent(m_buffer_ready.Get());
    }
  }

  void TakeWrite() {
    DWORD pid = 0;
    std::memcpy(&pid, m_view, sizeof pid);
    if (pid != m_pid) return;
    m_log.AddDebugWrite(
        AnsiToUtf8(UpToNul(std::string(m_view + sizeof pid, kBufferSize - sizeof pid))));
  }

  EventLog& m_log;
  Handle m_buffer_ready, m_data_ready, m_mapping, m_stop;
  const char* m_view = nullptr;
  bool m_ready = false;
  DWORD m_pid = 0;
  std::thread m_thread;
};

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Clears BeingDebugged in the child's PEB (see the note at the top).
bool HideDebuggerFromPeb(HANDLE process) {
  using QueryFunction = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  const FARPROC address =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess");
  if (address == nullptr) return false;
  const auto query = reinterpret_cast<QueryFunction>(reinterpret_cast<void (*)()>(address));
  PROCESS_BASIC_INFORMATION basic = {};
  if (query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return false;
  const BYTE not_debugged = 0;
  auto* flag = reinterpret_cast<BYTE*>(basic.PebBaseAddress) + offsetof(PEB, BeingDebugged);
  return WriteProcessMemory(process, flag, &not_debugged, 1, nullptr) != FALSE;
}

using kalinor::platform::QuotedArgument;

// A pipe whose write end the child inherits; the read end stays here.
bool MakeInheritedPipe(Handle& read_end, Handle& write_end) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  if (!CreatePipe(read_end.Receive(), write_end.Receive(), &inherit, 0)) return false;
  return SetHandleInformation(read_end.Get(), HANDLE_FLAG_INHERIT, 0) != FALSE;
}

// Reads what the child writes to pipe until it has exited and the pipe is
// drained, or until no writer is left. Not until the end of the pipe: a
// process the child started may hold the write end for good (under Wine the
// desktop process that the child's first window starts inherits it).
void ReadAll(HANDLE pipe, HANDLE process, std::string* bytes) {
  char buffer[4096];
  bool exited = false;
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return;  // no writer left
    if (available == 0) {
      // Everything the child wrote was in the pipe when it exited.
      if (exited) return;
      exited = WaitForSingleObject(process, 20) == WAIT_OBJECT_0;
      continue;
    }
    DWORD got = 0;
    const DWORD wanted = available < sizeof buffer ? available : static_cast<DWORD>(sizeof buffer);
    if (!ReadFile(pipe, buffer, wanted, &got, nullptr) || got == 0) return;
    bytes->append(buffer, got);
  }
}

// The text of one OutputDebugString write, read from the child's memory.
// nDebugStringLength counts the terminating NUL; the text ends at the first.
std::string DebugText(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  const size_t units = info.nDebugStringLength;
  SIZE_T got = 0;
  if (info.fUnicode) {
    std::wstring text(units, L'\0');
    ReadProcessMemory(process, info.lpDebugStringData, text.data(), units * sizeof(wchar_t), &got);
    text.resize(got / sizeof(wchar_t));
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return ToUtf8(text);
  }
  std::string text(units, '\0');
  ReadProcessMemory(process, info.lpDebugStringData, text.data(), units, &got);
  text.resize(got);
  return AnsiToUtf8(UpToNul(text));
}

struct Options {
  DWORD timeout_ms = kDefaultTimeoutMs;
  std::wstring command_line;
  bool valid = false;
};

Options ParseOptions() {
  Options options;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return options;
  int first = 1;
  if (count > 2 && std::wstring(argv[1]) == L"--timeout-ms") {
    options.timeout_ms = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
    first = 3;
  }
  if (first < count) {
    // The program name follows simpler rules: quotes are enough, a path holds none.
    options.command_line = L"\"" + std::wstring(argv[first]) + L"\"";
    for (int i = first + 1; i < count; ++i) options.command_line += L" " + QuotedArgument(argv[i]);
    options.valid = true;
  }
  LocalFree(argv);
  return options;
}

// Follows the child through its debug events until it has exited.
class DebugLoop {
 public:
  DebugLoop(const PROCESS_INFORMATION& child, DWORD timeout_ms, bool hide_from_peb, EventLog& log)
      : m_child(child),
        m_deadline(GetTickCount64() + timeout_ms),
        m_hide_from_peb(hide_from_peb),
        m_log(log) {}

  /// Runs until the child has exited; returns the exit code its exit event gives.
  DWORD Run() {
    for (;;) {
      DEBUG_EVENT event = {};
      if (!WaitForDebugEvent(&event, m_ended_by_timeout ? INFINITE : TimeLeft())) {
        if (!EndAfterWaitFailure()) return 0xFFFFFFFF;
        continue;
      }
      if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        return event.u.ExitProcess.dwExitCode;
      }
      ContinueDebugEvent(event.dwProcessId, event.dwThreadId, TakeEvent(event));
    }
  }

 private:
  DWORD TimeLeft() const {
    const ULONGLONG now = GetTickCount64();
    return now >= m_deadline ? 0 : static_cast<DWORD>(m_deadline - now);
  }

  // Ends the child after a failed wait; true when its exit event is still to come.
  bool EndAfterWaitFailure() {
    const DWORD error = GetLastError();
    const bool timed_out = error == ERROR_SEM_TIMEOUT || TimeLeft() == 0;
    TerminateProcess(m_child.hProcess, 0xFFFFFFFF);
    if (timed_out && !m_ended_by_timeout) {
      m_log.Add("timeout");
      m_ended_by_timeout = true;
      return true;
    }
    // No more events can come: let the child go, so its pipes close.
    m_log.Add("error WaitForDebugEvent " + std::to_string(error));
    DebugActiveProcessStop(m_child.dwProcessId);
    return false;
  }

  // Takes one event; returns how the child goes on.
  DWORD TakeEvent(const DEBUG_EVENT& event) {
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile != nullptr)
          CloseHandle(event.u.CreateProcessInfo.hFile);
        return DBG_CONTINUE;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
        return DBG_CONTINUE;
      case OUTPUT_DEBUG_STRING_EVENT:
        m_log.AddDebugWrite(DebugText(m_child.hProcess, event.u.DebugString));
        return DBG_CONTINUE;
      case EXCEPTION_DEBUG_EVENT:
        return HandleException(event.u.Exception);
      default:
        return DBG_CONTINUE;
    }
  }

  DWORD HandleException(const EXCEPTION_DEBUG_INFO& exception) {
    const DWORD code = exception.ExceptionRecord.ExceptionCode;
    if (code == EXCEPTION_BREAKPOINT && !m_seen_loader_breakpoint) {
      // The loader's, before the program's own code runs.
      m_seen_loader_breakpoint = true;
      if (m_hide_from_peb && !HideDebuggerFromPeb(m_child.hProcess)) {
        m_log.Add("error cannot hide the debugger from the child's PEB");
      }
      return DBG_CONTINUE;
    }
    if (!exception.dwFirstChance) {
      char text[16];
      std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
      m_log.Add(std::string("exception ") + text);
    }
    // The child's own handlers (C++ exceptions among them) come first.
    return DBG_EXCEPTION_NOT_HANDLED;
  }

  const PROCESS_INFORMATION& m_child;
  const ULONGLONG m_deadline;
  const bool m_hide_from_peb;
  EventLog& m_log;
  bool m_ended_by_timeout = false;
  bool m_seen_loader_breakpoint = false;
};

}  // namespace

int main() {
  const Options options = ParseOptions();
  if (!options.valid) {
    std::fprintf(stderr, "usage: kalinor_debug_harness [--timeout-ms N] PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  EventLog log;
  const bool under_wine = RunningUnderWine();
  // On Windows the debug events carry the writes; the DBWIN objects are left
  // to whatever viewer may run there.
  std::optional<DbwinListener> dbwin;
  if (under_wine) dbwin.emplace(log);
  if (dbwin && !dbwin->Ready()) {
    std::fprintf(stderr, "kalinor_debug_harness: the DBWIN buffer is taken by another viewer\n");
    return 2;
  }

  Handle out_read, out_write, err_read, err_write;
  if (!MakeInheritedPipe(out_read, out_write) || !MakeInheritedPipe(err_read, err_write)) {
    std::fprintf(stderr, "kalinor_debug_harness: no pipe (error %lu)\n", GetLastError());
    return 2;
  }
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  Handle no_input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = no_input.Get();
  startup.hStdOutput = out_write.Get();
  startup.hStdError = err_write.Get();
  PROCESS_INFORMATION child = {};
  std::wstring command_line = options.command_line;
  // Suspended until the DBWIN listener knows the child's process id.
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE,
                      DEBUG_ONLY_THIS_PROCESS | CREATE_SUSPENDED, nullptr, nullptr, &startup,
                      &child)) {
    std::fprintf(stderr, "kalinor_debug_harness: cannot start the program (error %lu)\n",
                 GetLastError());
    return 2;
  }
  Handle process(child.hProcess), thread(child.hThread);
  if (dbwin) dbwin->Start(child.dwProcessId);
  ResumeThread(child.hThread);
  // Only the child (and what it starts) holds the write ends now: see ReadAll.
  out_write.Close();
  err_write.Close();
  std::string standard_output, standard_error;
  std::thread out_reader(ReadAll, out_read.Get(), process.Get(), &standard_output);
  std::thread err_reader(ReadAll, err_read.Get(), process.Get(), &standard_error);

  DWORD exit_code = DebugLoop(child, options.timeout_ms, under_wine, log).Run();
  // The process object's exit code is the one to report; the exit event's is the fallback.
  DWORD process_exit_code = 0;
  if (WaitForSingleObject(process.Get(), INFINITE) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(process.Get(), &process_exit_code)) {
    exit_code = process_exit_code;
  }
  if (dbwin) dbwin->Stop();
  out_reader.join();
  err_reader.join();
  for (const std::string& line : log.Taken()) Report(line);
  Report("stdout " + Escaped(standard_output));
  Report("stderr " + Escaped(standard_error));
  Report("exit " + std::to_string(exit_code));
  return 0;
}
