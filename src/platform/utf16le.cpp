#include "platform/utf16le.h"

namespace kalinor::platform {

namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUnit(std::vector<std::uint8_t>& bytes, char32_t unit) {
  bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
}

}  // namespace

std::wstring FromUtf16Le(const std::uint8_t* bytes, std::size_t size) {
  std::wstring text;
  std::size_t units = size / 2;
  text.reserve(units);
  auto unit_at = [bytes](std::size_t i) -> char32_t {
    return static_cast<char32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  };
  for (std::size_t i = 0; i < units; ++i) {
    char32_t unit = unit_at(i);
    if (!kWideIsUtf16 && IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(unit_at(i + 1))) {
      char32_t low = unit_at(++i);
      text.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
    } else {
      text.push_back(static_cast<wchar_t>(unit));
    }
  }
  return text;
}

std::vector<std::uint8_t> ToUtf16Le(std::wstring_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() * 2);
  for (wchar_t c : text) {
    auto code = static_cast<char32_t>(c);
    if (code > 0x10FFFF) code = 0xFFFD;  // no UTF-16 form
    if (!kWideIsUtf16 && code > 0xFFFF && code <= 0x10FFFF) {
      code -= 0x10000;
      AppendUnit(bytes, 0xD800 + (code >> 10));
      AppendUnit(bytes, 0xDC00 + (code & 0x3FF));
    } else {
      AppendUnit(bytes, code);
    }
  }
  return bytes;
}

}  // namespace kalinor::platform
