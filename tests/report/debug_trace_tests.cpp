#include "report/debug_trace.h"

#include <gtest/gtest.h>

#include "platform/hresult.h"
#include "platform/output_capture.h"

namespace kalinor {
namespace {

TEST(DebugTrace, AppendsOneLineFeedAndWritesOnce) {
  platform::OutputCapture capture;
  DebugTrace(L"Service installed.");
  DebugTrace(L"Service configuration returned %#X", 0u);
  DebugTrace(L"Service configuration returned %#X", static_cast<unsigned>(0x80004005));
  EXPECT_EQ(
      capture.debug_output,
      (std::vector<std::wstring>{L"Service installed.\n", L"Service configuration returned 0\n",
                                 L"Service configuration returned 0X80004005\n"}));
  EXPECT_TRUE(capture.standard_output.empty());
}

TEST(DebugTrace, LongTextIsWrittenWhole) {
  platform::OutputCapture capture;
  const std::wstring name(100000, L'x');
  DebugTrace(L"%ls", name.c_str());
  ASSERT_EQ(capture.debug_output.size(), 1u);
  EXPECT_EQ(capture.debug_output[0], name + L"\n");
}

TEST(DebugTrace, NullFormatRaisesInvalidArgumentAndWritesNothing) {
  platform::OutputCapture capture;
  try {
    DebugTrace(nullptr);
    FAIL() << "no exception";
  } catch (const CAtlException& e) {
    EXPECT_EQ(e.m_hr, E_INVALIDARG);
  }
  EXPECT_TRUE(capture.debug_output.empty());
}

}  // namespace
}  // namespace kalinor
