#include "report/cmtrace_format.h"

#include "platform/text.h"

namespace kalinor {
namespace {

// CMTrace's bias: minutes west of UTC, always signed; "+000" for UTC itself.
std::wstring Bias(int utcOffsetMinutes) {
  const int bias = -utcOffsetMinutes;
  if (bias == 0) return L"+000";
  return platform::FormatText(L"%+d", bias);
}

// text with every `marker` written as `replacement`.
std::wstring ReplaceAll(std::wstring_view text, std::wstring_view marker,
                        std::wstring_view replacement) {
  std::wstring replaced;
  std::size_t at = 0;
  for (std::size_t found; (found = text.find(marker, at)) != std::wstring_view::npos;
       at = found + marker.size()) {
    replaced.append(text.substr(at, found - at));
    replaced.append(replacement);
  }
  replaced.append(text.substr(at));
  return replaced;
}

// The entry's text ends at the first "]LOG]!>", and a reader takes
// "<![LOG[" for the start of an entry: neither may stand in the text.
std::wstring EntryText(std::wstring_view text) {
  return ReplaceAll(ReplaceAll(text, L"]LOG]!>", L"]LOG]!&gt;"), L"<![LOG[", L"&lt;![LOG[");
}

}  // namespace

CmTraceType CmTraceTypeOf(platform::LineSeverity severity) {
  switch (severity) {
    case platform::LineSeverity::kError:
      return CmTraceType::kFailure;
    case platform::LineSeverity::kWarning:
      return CmTraceType::kWarning;
    case platform::LineSeverity::kInformation:
      break;
  }
  return CmTraceType::kInformation;
}

std::wstring FormatCmTraceLine(std::wstring_view text, platform::LineSeverity severity,
                               const platform::LocalTime& t, unsigned long thread) {
  return L"<![LOG[" + EntryText(text) + L"]LOG]!>" +
         platform::FormatText(
             L"<time=\"%02d:%02d:%02d.%03d%ls\" date=\"%02d-%02d-%04d\" "
             L"component=\"kalinor\" context=\"\" type=\"%d\" thread=\"%lu\" "
             L"file=\"\">",
             t.Hour, t.Minute, t.Second, t.Millisecond, Bias(t.UtcOffsetMinutes).c_str(), t.Month,
             t.Day, t.Year, static_cast<int>(CmTraceTypeOf(severity)), thread);
}

}  // namespace kalinor
