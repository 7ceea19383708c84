// A recogniser for the node-path language: "/" or "//" between steps (and
// before the first), steps "..", ".", "*", "@*", "@name", "name" or
// "text()", "node()", "comment()", "pi()", each followed by predicates "[n]",
// "[@name]" or "[@name=\"value\"]" (single quotes too; blanks allowed inside
// the brackets around the parts).
#include "platform/win32/node_path_syntax.h"

#include <cstdint>

namespace kalinor::platform::msxml_dom {

namespace {

bool IsNameStartChar(wchar_t c) {
  const auto u = static_cast<std::uint32_t>(c);
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u == ':' ||
         (u >= 0xC0 && u <= 0xD6) || (u >= 0xD8 && u <= 0xF6) || (u >= 0xF8 && u <= 0x2FF) ||
         (u >= 0x370 && u <= 0x37D) || (u >= 0x37F && u <= 0x1FFF) ||
         (u >= 0x200C && u <= 0x200D) || (u >= 0x2070 && u <= 0x218F) ||
         (u >= 0x2C00 && u <= 0x2FEF) || (u >= 0x3001 && u <= 0xD7FF) ||
         (u >= 0xF900 && u <= 0xFDCF) || (u >= 0xFDF0 && u <= 0xFFFD) ||
         // Surrogates: the halves of a character beyond U+FFFF, which may
         // start or continue a name.
         (u >= 0xD800 && u <= 0xDFFF);
}

bool IsNameChar(wchar_t c) {
  const auto u = static_cast<std::uint32_t>(c);
  return IsNameStartChar(c) || u == '-' || u == '.' || (u >= '0' && u <= '9') || u == 0xB7 ||
         (u >= 0x300 && u <= 0x36F) || (u >= 0x203F && u <= 0x2040);
}

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
    if (AtEnd() || !IsNameStartChar(Peek())) return false;
    while (!AtEnd() && IsNameChar(Peek())) ++at_;
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

bool IsXmlName(std::wstring_view name) {
  if (name.empty() || !IsNameStartChar(name.front())) return false;
  for (wchar_t c : name.substr(1))
    if (!IsNameChar(c)) return false;
  return true;
}

}  // namespace kalinor::platform::msxml_dom
