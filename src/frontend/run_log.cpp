#include "frontend/run_log.h"

#include <utility>

#include "kalinor_version.h"
#include "platform/files.h"
#include "platform/console.h"
#include "platform/debug_output.h"
#include "platform/environment.h"
#include "platform/process_info.h"
#include "platform/text.h"
#include "report/log_sink.h"

namespace kalinor {
namespace {

// An argument as a command line would give it: quoted when it holds a blank
// or a quote, or is empty.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  for (wchar_t c : arg) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L'"';
}

// The header's text; the log stamps it with the same local time.
std::wstring HeaderText(const std::vector<std::wstring>& args, const platform::LocalTime& now) {
  std::wstring line = L"Kalinor " + platform::FromUtf8(KALINOR_VERSION_TEXT) + L" (" +
                      platform::BuildName() + L"), user " + Quoted(platform::CurrentUserName()) +
                      L", local time " + FormatTimestamp(now) + L", arguments:";
  for (const std::wstring& arg : args) line += L' ' + Quoted(arg);
  return line;
}

LogFormat LogFormatFromEnvironment() {
  const std::wstring format = platform::GetEnvironmentVariableText(L"KALINOR_LOG_FORMAT");
  return platform::AsciiLower(format) == L"cmtrace" ? LogFormat::kCmTrace : LogFormat::kPlain;
}

}  // namespace

RunLog::RunLog(const std::vector<std::wstring>& args, const RunFacts& facts, ExitCodeMode mode) {
  try {
    std::wstring path = platform::GetEnvironmentVariableText(L"KALINOR_LOG");
    if (path.empty()) return;
    const LogTarget target =
        platform::AsciiLower(path) == L"stderr" ? LogTarget::kStandardError : LogTarget::kFile;
    // A relative path is the current folder's: said, since a setup
    // program's current folder is seldom where its author looks.
    std::wstring relative;
    if (target == LogTarget::kFile && !platform::IsAbsolutePath(path)) {
      const std::wstring absolute = platform::AbsolutePathOf(path);
      if (!absolute.empty()) relative = std::exchange(path, absolute);
    }
    const std::wstring refusal = SetLogTarget(target, path);
    if (!refusal.empty()) {
      platform::WriteStandardError(L"Run log not opened (" + refusal +
                                   L"), the run goes on without it: " +
                                   platform::EscapeLineText(path) + L"\n");
      return;
    }
    SetLogFormat(LogFormatFromEnvironment());
    // A log on standard error carries every channel line: the channel itself
    // stays off it (POSIX), so that each line shows once.
    if (target == LogTarget::kStandardError) platform::SetDebugOutputQuietOnStandardError(true);
    const platform::LocalTime now = platform::CurrentLocalTime();
    if (WriteLogEntry(HeaderText(args, now), now)) {
      for (const std::wstring& fact : RunFactsLines(facts)) WriteLogEntry(fact, now);
      WriteLogEntry(ExitCodeModeLine(mode), now);
      if (!relative.empty())
        WriteLogEntry(L"log: " + path + L" (KALINOR_LOG named the relative path \"" + relative +
                          L"\", taken from the current folder)",
                      now);
      platform::SetDebugOutputObserver(WriteStampedLogLine);
      return;
    }
  } catch (...) {
  }
  SetLogTarget(LogTarget::kNone);
}

RunLog::~RunLog() {
  if (!HasLogTarget()) return;
  platform::SetDebugOutputObserver(nullptr);
  platform::SetDebugOutputQuietOnStandardError(false);
  SetLogTarget(LogTarget::kNone);
  SetLogFormat(LogFormat::kPlain);
}

void RunLog::Finish(int exitCode) {
  if (HasLogTarget()) WriteStampedLogLine(L"Exit code " + std::to_wstring(exitCode) + L".");
}

}  // namespace kalinor
