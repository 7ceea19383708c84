#include "report/log_sink.h"

#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <memory>

#include "platform/console.h"
#include "platform/log_output.h"
#include "platform/text.h"
#include "report/cmtrace_format.h"
#include "report/hresult_names.h"

namespace kalinor {
namespace {

// One run, one thread: the log's state is the process's.
LogTarget g_target = LogTarget::kNone;
std::unique_ptr<platform::AppendOnlyLogFile> g_file;  // open while g_target is kFile
LogFormat g_format = LogFormat::kPlain;

// Writes a line already made one line (LogLineText) to the target.
bool WriteOneLine(const std::wstring& line) {
  switch (g_target) {
    case LogTarget::kFile:
      return g_file && !g_file->AppendLine(line).Failed();
    case LogTarget::kStandardError:
      platform::WriteStandardError(line + L'\n');
      return true;
    case LogTarget::kNone:
      break;
  }
  return false;
}

bool IsHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'); }

}  // namespace

std::wstring SetLogTarget(LogTarget target, const std::wstring& path) {
  g_target = LogTarget::kNone;
  g_file.reset();
  if (target == LogTarget::kFile) {
    g_file = std::make_unique<platform::AppendOnlyLogFile>(path);
    if (!g_file->IsOpen()) {
      std::wstring refusal = g_file->Refusal();
      g_file.reset();
      return refusal.empty() ? std::wstring(L"not opened") : refusal;
    }
  }
  g_target = target;
  return {};
}

void SetLogFormat(LogFormat format) { g_format = format; }

bool HasLogTarget() { return g_target != LogTarget::kNone; }

bool LogTargetIsStandardError() { return g_target == LogTarget::kStandardError; }

std::wstring LogLineText(std::wstring_view text) {
  if (!text.empty() && text.back() == L'\n') text.remove_suffix(1);
  return platform::EscapeLineText(text);
}

bool WriteLogLine(std::wstring_view text) { return WriteOneLine(LogLineText(text)); }

bool WriteLogEntry(std::wstring_view text, const platform::LocalTime& time,
                   platform::LineSeverity severity) {
  if (g_target == LogTarget::kNone) return false;
  const std::wstring line = LogLineText(text);
  if (g_format == LogFormat::kCmTrace)
    return WriteOneLine(FormatCmTraceLine(line, severity, time, platform::CurrentThreadId()));
  return WriteOneLine(FormatTimestamp(time) + L' ' + line);
}

void WriteStampedLogLine(std::wstring_view text, platform::LineSeverity severity) {
  try {
    WriteLogEntry(NameHResults(text), platform::CurrentLocalTime(), severity);
  } catch (...) {
  }
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
