#include "settings/store_id.h"

#include <cwchar>

namespace kalinor {

namespace {

// One "%I64X" conversion: leading white space, an optional sign, an optional
// 0x, hexadecimal digits. False (value untouched) when no digit is there.
bool ReadHexNumber(const wchar_t*& text, std::uint64_t& value) {
  wchar_t* end = nullptr;
  unsigned long long number = std::wcstoull(text, &end, 16);
  if (end == text) return false;
  value = number;
  text = end;
  return true;
}

void PutLittleEndian(std::uint64_t number, StoreIdBytes& bytes, std::size_t first) {
  for (std::size_t i = 0; i < 8; ++i)
    bytes[first + i] = static_cast<std::uint8_t>(number >> (8 * i));
}

}  // namespace

StoreIdBytes StoreIdBytesFromPairForm(const std::wstring& id) {
  std::uint64_t first = 0;
  std::uint64_t second = 0;
  const wchar_t* text = id.c_str();
  if (ReadHexNumber(text, first) && *text == L'-') {
    ++text;
    ReadHexNumber(text, second);
  }
  StoreIdBytes bytes{};
  PutLittleEndian(second, bytes, 0);
  PutLittleEndian(first, bytes, 8);
  return bytes;
}

std::wstring FormatStoreIdBytes(const StoreIdBytes& bytes) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  text.reserve(32);
  for (std::uint8_t byte : bytes) {
    if (byte >= 0x10) text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

}  // namespace kalinor
