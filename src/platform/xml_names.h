// The characters of XML 1.0 names and text, shared by both XML DOMs'
// primitives.
#pragma once

#include <string_view>

namespace kalinor::platform {

/// True when c may start an XML name. With 16-bit text the halves of a
/// character beyond U+FFFF count as such characters.
bool IsXmlNameStartChar(wchar_t c);

/// True when c may continue an XML name.
bool IsXmlNameChar(wchar_t c);

/// True when name is an XML 1.0 Name: a start character, then name characters.
bool IsXmlName(std::wstring_view name);

/// True when every character of text may stand in an XML 1.0 document (tab,
/// line feed, carriage return, U+0020..U+D7FF, U+E000..U+FFFD and beyond
/// U+FFFF; with 16-bit text only as a whole surrogate pair).
bool IsXmlText(std::wstring_view text);

}  // namespace kalinor::platform
