#include "xml/node_path.h"

namespace kalinor {

namespace {

bool IsWhiteSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

std::wstring Trimmed(const std::wstring& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

void SplitNodePath(const std::wstring& nodePath, std::vector<std::wstring>& stepNames,
                   std::vector<std::wstring>& predicates) {
  stepNames.clear();
  predicates.clear();
  if (nodePath.empty()) return;
  const std::wstring path = nodePath + L"/";
  std::size_t start = 0;
  if (nodePath[0] == L'/') start = nodePath.size() > 1 && nodePath[1] == L'/' ? 2 : 1;
  std::size_t slash;
  while (start < path.size() && (slash = path.find(L'/', start)) != std::wstring::npos) {
    const std::wstring segment = path.substr(start, slash - start);
    const std::size_t predicateStart = segment.find(L"[@");
    const std::wstring name = segment.substr(0, predicateStart);
    if (!name.empty()) {
      stepNames.push_back(name);
      predicates.push_back(predicateStart == std::wstring::npos ? std::wstring()
                                                                : segment.substr(predicateStart));
    }
    start = slash + 1;
  }
}

std::vector<std::pair<std::wstring, std::wstring>> PredicateAttributes(
    const std::wstring& predicate) {
  std::vector<std::pair<std::wstring, std::wstring>> attributes;
  constexpr auto npos = std::wstring::npos;
  std::size_t open = predicate.find(L'[');
  std::size_t close = open == npos ? npos : predicate.find(L']', open);
  while (open != npos && close != npos) {
    // Drops "[", the "@" after it, the closing quote and "]" untested.
    const std::wstring inner =
        close < open + 3 ? std::wstring() : predicate.substr(open + 2, close - open - 3);
    const std::size_t equals = inner.find(L'=');
    if (equals != npos) {
      std::wstring name = Trimmed(inner.substr(0, equals));
      // Drops the "=" and the opening quote.
      std::wstring value = equals + 2 < inner.size() ? inner.substr(equals + 2) : std::wstring();
      if (!name.empty()) attributes.emplace_back(std::move(name), std::move(value));
    }
    open = predicate.find(L'[', close + 1);
    close = open == npos ? npos : predicate.find(L']', open + 1);
  }
  return attributes;
}

HRESULT SetPredicateAttributes(const platform::DomNodeRef& element, const std::wstring& predicate) {
  for (const auto& [name, value] : PredicateAttributes(predicate))
    platform::SetAttribute(element, name, value);
  return S_OK;
}

}  // namespace kalinor
