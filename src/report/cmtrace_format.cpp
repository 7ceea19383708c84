#include "report/cmtrace_format.h"

#include "platform/text.h"

namespace kalinor {
namespace {

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// CMTrace's bias: minutes west of UTC, always signed; "+000" for UTC itself.
std::wstring Bias(int utcOffsetMinutes) {
  const int bias = -utcOffsetMinutes;
  if (bias == 0) return L"+000";
  return platform::FormatText(L"%+d", bias);
}

// The entry's text ends at the first "]LOG]!>"; one inside the text must not.
std::wstring EntryText(std::wstring_view text) {
  static constexpr std::wstring_view kEnd = L"]LOG]!>";
  std::wstring escaped;
  std::size_t at = 0;
  for (std::size_t found; (found = text.find(kEnd, at)) != std::wstring_view::npos;
       at = found + kEnd.size()) {
    escaped.append(text.substr(at, found - at));
    escaped += L"]LOG]!&gt;";
  }
  escaped.append(text.substr(at));
  return escaped;
}

}  // namespace

CmTraceType CmTraceTypeOf(std::wstring_view text) {
  if (StartsWith(text, L"Error") || StartsWith(text, L"Database file not ") ||
      StartsWith(text, L"Settings file not "))
    return CmTraceType::kFailure;
  if (StartsWith(text, L"Warning")) return CmTraceType::kWarning;
  return CmTraceType::kInformation;
}

std::wstring FormatCmTraceLine(std::wstring_view text, const platform::LocalTime& t,
                               unsigned long thread) {
  return L"<![LOG[" + EntryText(text) + L"]LOG]!>" +
         platform::FormatText(
             L"<time=\"%02d:%02d:%02d.%03d%ls\" date=\"%02d-%02d-%04d\" "
             L"component=\"kalinor\" context=\"\" type=\"%d\" thread=\"%lu\" "
             L"file=\"\">",
             t.Hour, t.Minute, t.Second, t.Millisecond, Bias(t.UtcOffsetMinutes).c_str(), t.Month,
             t.Day, t.Year, static_cast<int>(CmTraceTypeOf(text)), thread);
}

}  // namespace kalinor
