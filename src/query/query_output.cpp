#include "query/query_output.h"

#include "platform/text.h"

namespace kalinor {
namespace {

// The message as one line: a control character in a name or path it quotes
// is shown as a \u escape, so that it cannot start a line of its own.
std::wstring OneLine(const std::wstring& message) {
  std::wstring line;
  for (const wchar_t c : message) {
    const auto code = static_cast<unsigned>(c);
    if (code < 0x20 || (code >= 0x7F && code < 0xA0) || code == 0x2028 || code == 0x2029)
      line += platform::FormatText(L"\\u%04X", code);
    else
      line += c;
  }
  return line;
}

}  // namespace

int QueryOutput::Fail(int exitCode, const char* name, const std::wstring& message) {
  if (Failed()) return failureCode_;
  failureCode_ = exitCode;
  failureName_ = name;
  failureMessage_ = message.empty() ? L"failed" : message;
  return exitCode;
}

void QueryOutput::Print() {
  if (Failed()) {
    platform::WriteStandardError(L"kalinor-query: " + OneLine(failureMessage_) + L"\n");
    document_.Add("error", JsonObject()
                               .Add("code", failureCode_)
                               .Add("name", std::wstring(failureName_.begin(), failureName_.end()))
                               .Add("message", failureMessage_));
  } else if (silent_) {
    return;
  }
  if (json_)
    platform::WriteStandardOutput(document_.Render() + L"\n");
  else if (!text_.empty())
    platform::WriteStandardOutput(text_);
}

}  // namespace kalinor
