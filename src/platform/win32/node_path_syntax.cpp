// A recogniser for the node-path language: "/" or "//" between steps (and
// before the first), steps "..", ".", "*", "@*", "@name", "name" or
// "text()", "node()", "comment()", "pi()", each followed by predicates "[n]",
// "[@name]" or "[@name=\"value\"]" (single quotes too; blanks allowed inside
// the brackets around the parts).
#include "platform/win32/node_path_syntax.h"

#include <cstdint>

#include "platform/xml_names.h"

namespace kalinor::platform::msxml_dom {

namespace {

class Recogniser {
 public:
  explicit Recogniser(std::wstring_view text) : text_(text) {}

  bool Path() {
    if (text_.empty()) return false;
    if (!Accept(L"//") && Accept(L"/") && AtEnd()) return true;  // "/": the document
    for (;;) {
      if (!Step()) return false;
      if (AtEnd()) return true;
      if (!Accept(L"//") && !Accept(L"/")) return false;
    }
  }

 private:
  bool AtEnd() const { return at_ >= text_.size(); }
  wchar_t Peek() const { return AtEnd() ? L'\0' : text_[at_]; }

  bool Accept(std::wstring_view token) {
    if (text_.substr(at_, token.size()) != token) return false;
    at_ += token.size();
    return true;
  }

  void SkipBlanks() {
    while (Peek() == L' ' || Peek() == L'\t' || Peek() == L'\r' || Peek() == L'\n') ++at_;
  }

  bool Name() {
    if (AtEnd() || !IsXmlNameStartChar(Peek())) return false;
    while (!AtEnd() && IsXmlNameChar(Peek())) ++at_;
    return true;
  }

  bool Step() {
    if (Accept(L"..") || Accept(L".") || Accept(L"*")) {
      // no name
    } else if (Accept(L"@")) {
      if (!Accept(L"*") && !Name()) return false;
    } else {
      const std::size_t start = at_;
      if (!Name()) return false;
      if (Accept(L"()") && !IsNodeTest(text_.substr(start, at_ - 2 - start))) return false;
    }
    while (Peek() == L'[')
      if (!Predicate()) return false;
    return true;
  }

  static bool IsNodeTest(std::wstring_view method) {
    return method == L"text" || method == L"node" || method == L"comment" || method == L"pi";
  }

  bool Predicate() {
    Accept(L"[");
    SkipBlanks();
    if (Peek() >= L'0' && Peek() <= L'9') {
      while (Peek() >= L'0' && Peek() <= L'9') ++at_;
    } else {
      if (!Accept(L"@") || !Name()) return false;
      SkipBlanks();
      if (Accept(L"=")) {
        SkipBlanks();
        if (!Literal()) return false;
      }
    }
    SkipBlanks();
    return Accept(L"]");
  }

  bool Literal() {
    const wchar_t quote = Peek();
    if (quote != L'"' && quote != L'\'') return false;
    const std::size_t end = text_.find(quote, at_ + 1);
    if (end == std::wstring_view::npos) return false;
    at_ = end + 1;
    return true;
  }

  std::wstring_view text_;
  std::size_t at_ = 0;
};

}  // namespace

bool IsNodePath(std::wstring_view query) { return Recogniser(query).Path(); }

}  // namespace kalinor::platform::msxml_dom
