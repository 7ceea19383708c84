// Text conversions at the edges of the program, and the small text helpers
// that several subsystems share. Text inside the program is std::wstring.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace kalinor::platform {

/// Encodes text as UTF-8. A unit U+DC80..U+DCFF (a byte that FromUtf8 could
/// not decode) is written back as that raw byte; any other unpaired
/// surrogate becomes U+FFFD. Never fails.
std::string ToUtf8(std::wstring_view text);

/// Appends one Unicode code point (at most U+10FFFF) to out as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

/// Decodes UTF-8. A byte that does not start or continue a valid sequence
/// becomes U+DC80 + the byte, so nothing is dropped and ToUtf8 restores the
/// original bytes. Never fails.
std::wstring FromUtf8(std::string_view bytes);

/// Converts to 8-bit text in the thread's ANSI code page (WideCharToMultiByte
/// on Windows; UTF-8 elsewhere). Characters the code page lacks become its
/// default character. Never fails; empty text gives an empty string.
std::string ToAnsiCodePage(std::wstring_view text);

/// Converts 8-bit text in the thread's ANSI code page to UTF-16
/// (MultiByteToWideChar on Windows; UTF-8 elsewhere). Empty on failure.
std::wstring FromAnsiCodePage(std::string_view bytes);

/// printf-style formatting of wide text; the result is exactly as long as the
/// formatted text. Raises CAtlException(E_INVALIDARG) on a null format or
/// a format the C library rejects.
std::wstring FormatTextV(const wchar_t* format, va_list args);

/// FormatTextV with its values as arguments.
std::wstring FormatText(const wchar_t* format, ...);

/// The value of one hexadecimal digit (0-9, a-f, A-F); -1 for any other character.
int HexDigitValue(wchar_t c);

/// Lower-cases the ASCII letters A to Z, as the "C" locale does; every other
/// character is left as it is.
std::wstring AsciiLower(std::wstring text);

/// text with every character that could break or disguise a line shown as a
/// visible escape, so that a name put into a line can never end it or forge
/// another: C0 controls (tab and line feed included), DEL and C1 controls
/// (U+0085 too) as "\xHH"; the line and paragraph separators U+2028/U+2029
/// and the bidirectional controls U+200E/U+200F, U+202A..U+202E,
/// U+2066..U+2069 as "\uHHHH" (upper-case hex). Backslashes stay as they
/// are (Windows paths are full of them), so a name holding the text "\x0A"
/// reads like an escaped line feed but cannot break the line; where the two
/// must be told apart, kalinor-query --json gives every name exactly. The
/// result holds nothing that would be escaped again. Never fails but for
/// memory.
std::wstring EscapeLineText(std::wstring_view text);

/// Whole-string comparison that ignores the case of the ASCII letters A to Z.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace kalinor::platform
