#include "platform/xml_names.h"

#include <algorithm>
#include <cstdint>

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
