// The characters of XML 1.0 names, shared by both XML DOMs' primitives.
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

}  // namespace kalinor::platform
