#include "query/query_output.h"

#include "platform/text.h"

namespace kalinor {

int QueryOutput::Fail(int exitCode, const char* name, const std::wstring& message) {
  if (Failed()) return failureCode_;
  failureCode_ = exitCode;
  failureName_ = name;
  failureMessage_ = message.empty() ? L"failed" : message;
  return exitCode;
}

void QueryOutput::Print() {
  if (Failed()) {
    platform::WriteStandardError(L"kalinor-query: " + platform::EscapeLineText(failureMessage_) +
                                 L"\n");
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
