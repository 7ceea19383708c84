#include "xml_test_files.h"

namespace kalinor::testing {

std::string Utf16Bytes(std::wstring_view text, bool bigEndian) {
  std::string bytes;
  auto put = [&](char16_t unit) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  };
  for (wchar_t c : text) {
    const auto code = static_cast<char32_t>(c);
    if (code > 0xFFFF) {
      put(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      put(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      put(static_cast<char16_t>(code));
    }
  }
  return bytes;
}

std::wstring XmlFilesTest::WriteFile(std::wstring_view name, std::string_view bytes) {
  const std::wstring path = folder.File(name);
  EXPECT_TRUE(WriteBytes(path, bytes));
  return path;
}

HRESULT XmlFilesTest::LoadBytes(XMLDocument& document, std::string_view bytes) {
  return document.Load(WriteFile(L"input.xml", bytes));
}

}  // namespace kalinor::testing
