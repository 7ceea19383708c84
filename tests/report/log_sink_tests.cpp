#include "report/log_sink.h"

#include <gtest/gtest.h>

#include "report/hresult_names.h"

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

TEST(LogSink, TimestampsAreIso8601WithTheUtcOffset) {
  EXPECT_EQ(FormatTimestamp({2026, 3, 1, 9, 5, 7, 42, 60}), L"2026-03-01T09:05:07.042+01:00");
  EXPECT_EQ(FormatTimestamp({2026, 12, 31, 23, 59, 59, 999, -570}),
            L"2026-12-31T23:59:59.999-09:30");
}

}  // namespace
}  // namespace kalinor
