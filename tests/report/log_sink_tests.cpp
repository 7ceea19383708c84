#include "report/log_sink.h"

#include <gtest/gtest.h>

#include <regex>

#include "report/cmtrace_format.h"
#include "report/hresult_names.h"
#include "platform/text.h"

namespace kalinor {
namespace {

TEST(HResultNames, TheTableIsOrderedSoThatEveryEntryIsFound) {
  std::uint32_t previous = 0;
  for (const HResultName& entry : KnownHResults()) {
    EXPECT_LT(previous, entry.Code) << "out of order or repeated: " << std::hex << entry.Code;
    previous = entry.Code;
    EXPECT_EQ(FindHResultName(entry.Code), &entry);
  }
  EXPECT_EQ(FindHResultName(0x80040104), nullptr);
}

TEST(LogSink, NamesEveryKnownHResultAndOnlyWholeNumbers) {
  const struct {
    const wchar_t* text;
    const wchar_t* named;
  } cases[] = {
      {L"Error getting a service admin: 0X8004010F",
       L"Error getting a service admin: 0X8004010F (MAPI_E_NOT_FOUND)"},
      {L"0X80004005 then 0X8007007E.",
       L"0X80004005 (E_FAIL) then 0X8007007E (ERROR_MOD_NOT_FOUND)."},
      {L"Service configuration returned 0", L"Service configuration returned 0"},
      {L"unknown 0X80041234", L"unknown 0X80041234"},
      {L"not a number: A0X8004010F, 0X8004010FF, 0X8004010Fz, 0x8004010f, 0X",
       L"not a number: A0X8004010F, 0X8004010FF, 0X8004010Fz, 0x8004010f, 0X"},
      {L"S_FALSE 0X1", L"S_FALSE 0X1 (S_FALSE)"},
  };
  for (const auto& c : cases) EXPECT_EQ(NameHResults(c.text), c.named);
}

// Whatever a name holds, a log line stays one line and reads as what it is:
// every control and separator character is a visible escape; backslashes
// (Windows paths) stay.
TEST(LogSink, LinesShowControlAndSeparatorCharactersAsEscapes) {
  const struct {
    std::wstring text;
    std::wstring line;
  } cases[] = {
      {L"Service installed.\n", L"Service installed."},
      {L"C:\\Users\\J\u00F6rg\\AppData", L"C:\\Users\\J\u00F6rg\\AppData"},
      {L"a\nb\r\tc\x01\x1F\x7F", L"a\\x0Ab\\x0D\\x09c\\x01\\x1F\\x7F"},
      {L"next\u0085line\u2028sep\u2029", L"next\\x85line\\u2028sep\\u2029"},
      {L"\u202Etxt.exe\u200E\u200F\u202A\u2066\u2069",
       L"\\u202Etxt.exe\\u200E\\u200F\\u202A\\u2066\\u2069"},
      {L"C:\\Users\\xavier\\uploads\\x0A", L"C:\\Users\\xavier\\uploads\\x0A"},
      {L"\u00A0\u200D\uFEFF", L"\u00A0\u200D\uFEFF"},
      {L"\n\n", L"\\x0A"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LogLineText(c.text), c.line) << platform::ToUtf8(c.line);
    EXPECT_EQ(LogLineText(c.line), c.line) << "escaped once only";
  }
}

TEST(LogSink, TimestampsAreIso8601WithTheUtcOffset) {
  EXPECT_EQ(FormatTimestamp({2026, 3, 1, 9, 5, 7, 42, 60}), L"2026-03-01T09:05:07.042+01:00");
  EXPECT_EQ(FormatTimestamp({2026, 12, 31, 23, 59, 59, 999, -570}),
            L"2026-12-31T23:59:59.999-09:30");
}

// Each line is parsed back as a CMTrace reader does: the text up to the first
// "]LOG]!>", then the attributes; the time's bias is minutes west of UTC.
TEST(LogSink, CmTraceLinesParseBackToTheirTextTimeAndSeverity) {
  using platform::LineSeverity;
  const struct {
    const wchar_t* text;
    LineSeverity severity;  // as the writer reported the line
    platform::LocalTime time;
    const char* entry;  // the text as a reader gets it
    const char* clock;
    const char* date;
    const char* type;
  } cases[] = {
      {L"Service installed.",
       LineSeverity::kInformation,
       {2026, 3, 1, 9, 5, 7, 42, 60},
       "Service installed.",
       "09:05:07.042-60",
       "03-01-2026",
       "1"},
      {L"Error getting a service admin: 0X8004010F (MAPI_E_NOT_FOUND)",
       LineSeverity::kError,
       {2026, 12, 31, 23, 59, 59, 999, -300},
       "Error getting a service admin: 0X8004010F (MAPI_E_NOT_FOUND)",
       "23:59:59.999+300",
       "12-31-2026",
       "3"},
      {L"Database file not deleted (outside the data folder): /tmp/x.db",
       LineSeverity::kError,
       {2026, 1, 2, 0, 0, 0, 0, 0},
       "Database file not deleted (outside the data folder): /tmp/x.db",
       "00:00:00.000+000",
       "01-02-2026",
       "3"},
      {L"Settings file not saved (a link): /tmp/GeneralSettings.xml",
       LineSeverity::kError,
       {2026, 7, 4, 12, 0, 0, 5, 330},
       "Settings file not saved (a link): /tmp/GeneralSettings.xml",
       "12:00:00.005-330",
       "07-04-2026",
       "3"},
      {L"Warning: this run is under LocalSystem",
       LineSeverity::kWarning,
       {2026, 7, 4, 12, 0, 0, 5, 0},
       "Warning: this run is under LocalSystem",
       "12:00:00.005+000",
       "07-04-2026",
       "2"},
      {L"Not an Error: a]LOG]!>b",
       LineSeverity::kInformation,
       {2026, 7, 4, 12, 0, 0, 5, 0},
       "Not an Error: a]LOG]!&gt;b",
       "12:00:00.005+000",
       "07-04-2026",
       "1"},
      // A name is text, never a type: a profile called "Error …" is no failure.
      {L"Error 42",
       LineSeverity::kInformation,
       {2026, 7, 4, 12, 0, 0, 5, 0},
       "Error 42",
       "12:00:00.005+000",
       "07-04-2026",
       "1"},
      // A second record with genuine attributes cannot be smuggled in.
      {L"Default]LOG]!><time=\"1\" type=\"3\"><![LOG[Error forged",
       LineSeverity::kInformation,
       {2026, 7, 4, 12, 0, 0, 5, 0},
       "Default]LOG]!&gt;<time=\"1\" type=\"3\">&lt;![LOG[Error forged",
       "12:00:00.005+000",
       "07-04-2026",
       "1"},
  };
  const std::regex line(
      R"re(<!\[LOG\[(.*?)\]LOG\]!><time="([^"]*)" date="([^"]*)" component="kalinor" )re"
      R"re(context="" type="([123])" thread="4242" file="">)re");
  for (const auto& c : cases) {
    const std::wstring wide = FormatCmTraceLine(c.text, c.severity, c.time, 4242);
    const std::string formatted(wide.begin(), wide.end());
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(formatted, parts, line)) << formatted;
    EXPECT_EQ(parts[1], c.entry);
    EXPECT_EQ(parts[2], c.clock);
    EXPECT_EQ(parts[3], c.date);
    EXPECT_EQ(parts[4], c.type);
  }
}

}  // namespace
}  // namespace kalinor
