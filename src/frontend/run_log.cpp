#include "frontend/run_log.h"

#include <cstdint>
#include <cwchar>
#include <cwctype>

#include "frontend/hresult_names.h"
#include "kalinor_version.h"
#include "platform/console.h"
#include "platform/debug_output.h"
#include "platform/environment.h"
#include "platform/log_output.h"
#include "platform/text.h"

namespace kalinor {
namespace {

enum class LogTarget { kNone, kFile, kStandardError };

// One run, one thread: the log's state is the process's.
LogTarget g_target = LogTarget::kNone;
std::wstring g_path;

bool WriteLogLine(std::wstring_view line) {
  switch (g_target) {
    case LogTarget::kFile:
      return platform::AppendLineToFile(g_path, line);
    case LogTarget::kStandardError:
      platform::WriteStandardError(std::wstring(line) + L'\n');
      return true;
    case LogTarget::kNone:
      break;
  }
  return false;
}

// One write stays one line: line breaks and other control characters
// become spaces, and the line feed the channel adds is dropped.
std::wstring OneLine(std::wstring_view text) {
  if (!text.empty() && text.back() == L'\n') text.remove_suffix(1);
  std::wstring line(text);
  for (wchar_t& c : line) {
    if (c < L' ' || c == 0x7F) c = L' ';
  }
  return line;
}

std::wstring Stamped(std::wstring_view text) {
  return FormatTimestamp(platform::CurrentLocalTime()) + L' ' + NameHResults(OneLine(text));
}

// The observer of the debugger channel. Nothing the log does may change the
// run: a failure here is swallowed.
void CopyToLog(std::wstring_view text) {
  try {
    WriteLogLine(Stamped(text));
  } catch (...) {
  }
}

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

std::wstring HeaderLine(const std::vector<std::wstring>& args) {
  const platform::LocalTime now = platform::CurrentLocalTime();
  std::wstring line = FormatTimestamp(now) + L" Kalinor " +
                      platform::FromUtf8(KALINOR_VERSION_TEXT) + L" (" + platform::BuildName() +
                      L"), user " + Quoted(platform::CurrentUserName()) + L", local time " +
                      FormatTimestamp(now) + L", arguments:";
  for (const std::wstring& arg : args) line += L' ' + Quoted(arg);
  return OneLine(line);
}

bool IsHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'); }

}  // namespace

RunLog::RunLog(const std::vector<std::wstring>& args) {
  try {
    g_path = platform::GetEnvironmentVariableText(L"KALINOR_LOG");
    if (g_path.empty()) return;
    g_target =
        platform::AsciiLower(g_path) == L"stderr" ? LogTarget::kStandardError : LogTarget::kFile;
    if (WriteLogLine(HeaderLine(args))) {
      platform::SetDebugOutputObserver(CopyToLog);
      return;
    }
  } catch (...) {
  }
  g_target = LogTarget::kNone;
}

RunLog::~RunLog() {
  if (g_target == LogTarget::kNone) return;
  platform::SetDebugOutputObserver(nullptr);
  g_target = LogTarget::kNone;
}

void RunLog::Finish(int exitCode) {
  if (g_target != LogTarget::kNone) CopyToLog(L"Exit code " + std::to_wstring(exitCode) + L".");
}

std::wstring NameHResults(std::wstring_view text) {
  std::wstring named;
  std::size_t i = 0;
  while (i < text.size()) {
    const bool startsNumber = text.compare(i, 2, L"0X") == 0 &&
                              (i == 0 || !std::iswalnum(static_cast<wint_t>(text[i - 1])));
    std::size_t end = i + 2;
    while (startsNumber && end < text.size() && IsHexDigit(text[end])) ++end;
    const std::size_t digits = end - i - 2;
    if (!startsNumber || digits == 0 || digits > 8 ||
        (end < text.size() && std::iswalnum(static_cast<wint_t>(text[end])))) {
      named += text[i++];
      continue;
    }
    named.append(text, i, end - i);
    const auto code = static_cast<std::uint32_t>(
        std::wcstoul(std::wstring(text.substr(i + 2, digits)).c_str(), nullptr, 16));
    if (const HResultName* known = FindHResultName(code)) {
      named += L" (";
      named += known->Name;
      named += L')';
    }
    i = end;
  }
  return named;
}

std::wstring FormatTimestamp(const platform::LocalTime& t) {
  const int offset = t.UtcOffsetMinutes < 0 ? -t.UtcOffsetMinutes : t.UtcOffsetMinutes;
  return platform::FormatText(L"%04d-%02d-%02dT%02d:%02d:%02d.%03d%ls%02d:%02d", t.Year, t.Month,
                              t.Day, t.Hour, t.Minute, t.Second, t.Millisecond,
                              t.UtcOffsetMinutes < 0 ? L"-" : L"+", offset / 60, offset % 60);
}

}  // namespace kalinor
