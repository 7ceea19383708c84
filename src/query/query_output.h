// What one kalinor-query command answers: text lines, or with --json one
// JSON document, printed once at the end; and, when it failed, what failed.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/console.h"
#include "platform/text.h"
#include "query/json_object.h"

namespace kalinor {

class QueryOutput {
 public:
  explicit QueryOutput(bool json) : json_(json) {}
  /// Adds a line of the text form (the line feed is added): its tabs kept as
  /// the columns' separators, every other control or separator character
  /// shown as an escape (platform::EscapeLineText), so that no text can end
  /// the line early.
  void Line(const std::wstring& text) {
    std::size_t at = 0;
    for (std::size_t tab; (tab = text.find(L'\t', at)) != std::wstring::npos; at = tab + 1)
      text_ += platform::EscapeLineText(std::wstring_view(text).substr(at, tab - at)) + L'\t';
    text_ += platform::EscapeLineText(std::wstring_view(text).substr(at)) + L'\n';
  }
  /// Adds a line of the text form: the fields, each shown with every control
  /// and separator character escaped (a tab too), joined by tabs. For lines
  /// that carry names (paths, profiles), so that a name can add no column.
  void Fields(std::initializer_list<std::wstring_view> fields) {
    bool first = true;
    for (const std::wstring_view field : fields) {
      if (!first) text_ += L'\t';
      text_ += platform::EscapeLineText(field);
      first = false;
    }
    text_ += L'\n';
  }
  /// The JSON document, filled beside the lines.
  JsonObject& Json() { return document_; }
  /// Nothing at all is printed for the answer (has --detect, not installed);
  /// a failure is still said.
  void Silence() { silent_ = true; }

  /// Records the command's failure and returns exitCode: name is a short
  /// fixed word for scripts ("mapi-start", "usage", ...), message one line
  /// that says what failed and what to do. The first failure recorded wins.
  int Fail(int exitCode, const char* name, const std::wstring& message);
  bool Failed() const { return !failureMessage_.empty(); }

  /// Writes the lines, or the document and a line feed, to standard output;
  /// a failure adds "kalinor-query: <message>" on standard error, and to the
  /// document an "error" member with its code, name and message.
  void Print();

 private:
  bool json_;
  bool silent_ = false;
  std::wstring text_;
  JsonObject document_;
  int failureCode_ = 0;
  std::string failureName_;
  std::wstring failureMessage_;
};

}  // namespace kalinor
