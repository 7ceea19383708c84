#include "report/log_sink.h"

#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <utility>

#include "platform/console.h"
#include "platform/log_output.h"
#include "platform/text.h"
#include "report/cmtrace_format.h"
#include "report/hresult_names.h"

namespace kalinor {
namespace {

// One run, one thread: the log's state is the process's.
LogTarget g_target = LogTarget::kNone;
std::wstring g_path;
LogFormat g_format = LogFormat::kPlain;

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

bool IsHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'); }

}  // namespace

void SetLogTarget(LogTarget target, std::wstring path) {
  g_target = target;
  g_path = std::move(path);
}

void SetLogFormat(LogFormat format) { g_format = format; }

bool HasLogTarget() { return g_target != LogTarget::kNone; }

bool WriteLogLine(std::wstring_view text) {
  switch (g_target) {
    case LogTarget::kFile:
      return platform::AppendLineToFile(g_path, OneLine(text));
    case LogTarget::kStandardError:
      platform::WriteStandardError(OneLine(text) + L'\n');
      return true;
    case LogTarget::kNone:
      break;
  }
  return false;
}

bool WriteLogEntry(std::wstring_view text, const platform::LocalTime& time) {
  if (g_format == LogFormat::kCmTrace)
    return WriteLogLine(FormatCmTraceLine(OneLine(text), time, platform::CurrentThreadId()));
  return WriteLogLine(FormatTimestamp(time) + L' ' + OneLine(text));
}

void WriteStampedLogLine(std::wstring_view text) {
  try {
    WriteLogEntry(NameHResults(OneLine(text)), platform::CurrentLocalTime());
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
