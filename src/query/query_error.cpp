#include "query/query_error.h"

#include <cerrno>
#include <cstdint>
#include <cwchar>

#include "report/hresult_names.h"
#include "kalinor_version.h"
#include "platform/text.h"

namespace kalinor {

namespace {

// Whether text names its code in hexadecimal: with "0x"/"0X", with a digit
// A-F, or as the eight digits an HRESULT is shown with (80070020).
bool IsHexadecimal(const std::wstring& text) {
  if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) return true;
  if (text.find_first_of(L"abcdefABCDEF") != std::wstring::npos) return true;
  return text.size() == 8 && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

// The code as typed: hexadecimal (IsHexadecimal), else decimal (a negative
// decimal is the signed form). False when it is not a whole 32-bit number.
bool ParseCode(const std::wstring& text, std::uint32_t& code) {
  if (text.empty()) return false;
  const bool hex = IsHexadecimal(text);
  wchar_t* end = nullptr;
  errno = 0;
  const long long value = std::wcstoll(text.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || end == nullptr || *end != L'\0' || value < -2147483648LL ||
      value > 0xFFFFFFFFLL || (hex && text[0] == L'-'))
    return false;
  code = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace

int ErrorCommand(const std::wstring& text, QueryOutput& out) {
  std::uint32_t code = 0;
  if (!ParseCode(text, code))
    return out.Fail(1, "usage",
                    L"\"" + text +
                        L"\" is not an error code: give it as 0x8004010F or 8004010F, "
                        L"or as a decimal number such as -2147221233");
  const HResultName* name = FindHResultName(code);
  const std::wstring shown = platform::FormatText(L"%#X", code);
  out.Json().Add("code", shown).Add("known", name != nullptr);
  if (name == nullptr) {
    out.Line(shown + L"\tunknown");
    return 1;
  }
  out.Line(shown + L"\t" + name->Name + L"\t" + name->Meaning);
  out.Json().Add("name", name->Name).Add("meaning", name->Meaning);
  return 0;
}

int VersionCommand(QueryOutput& out) {
  const std::wstring version = platform::FromUtf8(KALINOR_VERSION_TEXT);
  out.Line(L"kalinor-query " + version);
  out.Json().Add("version", version);
  return 0;
}

}  // namespace kalinor
