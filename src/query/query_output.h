// What one kalinor-query command answers: text lines, or with --json one
// JSON document, printed once at the end.
#pragma once

#include <string>

#include "platform/console.h"
#include "query/json_object.h"

namespace kalinor {

class QueryOutput {
 public:
  explicit QueryOutput(bool json) : json_(json) {}
  /// Adds a line of the text form (the line feed is added).
  void Line(const std::wstring& text) { text_ += text + L"\n"; }
  /// The JSON document, filled beside the lines.
  JsonObject& Json() { return document_; }
  /// Writes the lines, or the document and a line feed, to standard output.
  void Print() const { platform::WriteStandardOutput(json_ ? document_.Render() + L"\n" : text_); }

 private:
  bool json_;
  std::wstring text_;
  JsonObject document_;
};

}  // namespace kalinor
