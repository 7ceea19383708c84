#include "platform/xml_names.h"

#include <algorithm>
#include <cstdint>

#include "platform/xml_dom.h"

namespace kalinor::platform {

bool IsXmlNameStartChar(wchar_t c) {
  const auto u = static_cast<std::uint32_t>(c);
  // With 16-bit text, a character beyond U+FFFF arrives as two surrogates.
  const bool beyondBasicPlane =
      sizeof(wchar_t) == 2 ? (u >= 0xD800 && u <= 0xDFFF) : (u >= 0x10000 && u <= 0xEFFFF);
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u == ':' ||
         (u >= 0xC0 && u <= 0xD6) || (u >= 0xD8 && u <= 0xF6) || (u >= 0xF8 && u <= 0x2FF) ||
         (u >= 0x370 && u <= 0x37D) || (u >= 0x37F && u <= 0x1FFF) ||
         (u >= 0x200C && u <= 0x200D) || (u >= 0x2070 && u <= 0x218F) ||
         (u >= 0x2C00 && u <= 0x2FEF) || (u >= 0x3001 && u <= 0xD7FF) ||
         (u >= 0xF900 && u <= 0xFDCF) || (u >= 0xFDF0 && u <= 0xFFFD) || beyondBasicPlane;
}

bool IsXmlNameChar(wchar_t c) {
  const auto u = static_cast<std::uint32_t>(c);
  return IsXmlNameStartChar(c) || u == '-' || u == '.' || (u >= '0' && u <= '9') || u == 0xB7 ||
         (u >= 0x300 && u <= 0x36F) || (u >= 0x203F && u <= 0x2040);
}

bool IsXmlName(std::wstring_view name) {
  if (name.empty() || !IsXmlNameStartChar(name.front())) return false;
  return std::all_of(name.begin() + 1, name.end(), IsXmlNameChar);
}

bool IsUnprefixedXmlName(std::wstring_view name) {
  return IsXmlName(name) && name.find(L':') == std::wstring_view::npos;
}

bool IsNamespaceDeclarationName(std::wstring_view name) {
  return name == L"xmlns" || name.substr(0, 6) == L"xmlns:";
}

namespace {

// A document's code units as numbers, in the width and byte order its
// byte-order mark or first character shows; markup characters are ASCII.
class CodeUnits {
 public:
  explicit CodeUnits(std::string_view bytes) : bytes_(bytes) {
    const auto starts = [&](std::string_view prefix) {
      return bytes.substr(0, prefix.size()) == prefix;
    };
    using namespace std::string_view_literals;
    if (starts("\xFF\xFE\0\0"sv) || starts("<\0\0\0"sv)) {
      width_ = 4;
    } else if (starts("\0\0\xFE\xFF"sv) || starts("\0\0\0<"sv)) {
      width_ = 4;
      bigEndian_ = true;
    } else if (starts("\xFF\xFE"sv) || starts("<\0"sv)) {
      width_ = 2;
    } else if (starts("\xFE\xFF"sv) || starts("\0<"sv)) {
      width_ = 2;
      bigEndian_ = true;
    }
  }
  std::size_t size() const { return bytes_.size() / width_; }
  // The unit at index; 0 past the end.
  std::uint32_t at(std::size_t index) const {
    if (index >= size()) return 0;
    if (width_ == 1) return static_cast<unsigned char>(bytes_[index]);
    std::uint32_t unit = 0;
    for (std::size_t k = 0; k < width_; ++k) {
      const std::size_t byte = bigEndian_ ? k : width_ - 1 - k;
      unit = (unit << 8) | static_cast<unsigned char>(bytes_[index * width_ + byte]);
    }
    return unit;
  }
  bool StartsAt(std::size_t index, std::string_view ascii) const {
    for (std::size_t k = 0; k < ascii.size(); ++k)
      if (at(index + k) != static_cast<unsigned char>(ascii[k])) return false;
    return true;
  }
  // The index of the first '<' at or after index; size() when none.
  std::size_t NextMarkup(std::size_t index) const {
    if (width_ == 1) return std::min(bytes_.find('<', index), size());
    while (index < size() && at(index) != '<') ++index;
    return index;
  }
  // The index just past the first end at or after index; size() when none.
  std::size_t PastNext(std::size_t index, std::string_view end) const {
    for (; index < size(); ++index)
      if (StartsAt(index, end)) return index + end.size();
    return size();
  }

 private:
  std::string_view bytes_;
  std::size_t width_ = 1;
  bool bigEndian_ = false;
};

bool IsQuote(std::uint32_t unit) { return unit == '"' || unit == '\''; }

// Scans the DOCTYPE that starts at index; sets index past it. True when it
// could give an element too many default attribute values.
bool DoctypeExceedsBound(const CodeUnits& text, std::size_t& index) {
  std::size_t quotes = 0;
  std::size_t references = 0;
  std::uint32_t quote = 0;
  int brackets = 0;
  for (index += 2; index < text.size(); ++index) {
    const std::uint32_t unit = text.at(index);
    if (quote == 0 && text.StartsAt(index, "<!--")) {
      index = text.PastNext(index + 4, "-->") - 1;
      continue;
    }
    if (IsQuote(unit)) {
      ++quotes;
      if (quote == 0) quote = unit;
      else if (unit == quote) quote = 0;
    } else if (unit == '%') {
      ++references;
    } else if (quote == 0 && unit == '[') {
      ++brackets;
    } else if (quote == 0 && unit == ']') {
      --brackets;
    } else if (quote == 0 && brackets <= 0 && unit == '>') {
      break;
    }
  }
  ++index;
  return quotes / 2 + references > kMaxAttributesPerElement;
}

// Scans the start tag that starts at index (each attribute has one "="
// outside quoted values); sets index past it. True when it has too many.
bool StartTagExceedsBound(const CodeUnits& text, std::size_t& index) {
  std::size_t attributes = 0;
  std::uint32_t quote = 0;
  for (++index; index < text.size(); ++index) {
    const std::uint32_t unit = text.at(index);
    if (quote != 0) {
      if (unit == quote) quote = 0;
    } else if (IsQuote(unit)) {
      quote = unit;
    } else if (unit == '=') {
      if (++attributes > kMaxAttributesPerElement) return true;
    } else if (unit == '>') {
      break;
    }
  }
  ++index;
  return false;
}

}  // namespace

bool ExceedsAttributeBound(std::string_view bytes) {
  const CodeUnits text(bytes);
  for (std::size_t index = 0; index < text.size();) {
    if (text.at(index) != '<') {
      index = text.NextMarkup(index);
    } else if (text.StartsAt(index, "<!--")) {
      index = text.PastNext(index + 4, "-->");
    } else if (text.StartsAt(index, "<![CDATA[")) {
      index = text.PastNext(index + 9, "]]>");
    } else if (text.StartsAt(index, "<?")) {
      index = text.PastNext(index + 2, "?>");
    } else if (text.StartsAt(index, "<!")) {
      if (DoctypeExceedsBound(text, index)) return true;
    } else if (text.StartsAt(index, "</")) {
      index = text.PastNext(index + 2, ">");
    } else if (StartTagExceedsBound(text, index)) {
      return true;
    }
  }
  return false;
}

bool IsXmlText(std::wstring_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto u = static_cast<std::uint32_t>(text[i]);
    if (u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) ||
        (u >= 0xE000 && u <= 0xFFFD) || (u >= 0x10000 && u <= 0x10FFFF))
      continue;
    // With 16-bit text, a character beyond U+FFFF is a high then a low surrogate.
    const bool pairStart = sizeof(wchar_t) == 2 && u >= 0xD800 && u <= 0xDBFF &&
                           i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (!pairStart) return false;
    ++i;
  }
  return true;
}

}  // namespace kalinor::platform
