// The characters of XML 1.0 names and text, and the checks made on a
// document's bytes before it is parsed, shared by both XML DOMs' primitives.
#pragma once

#include <string>
#include <string_view>

namespace kalinor::platform {

/// True when c may start an XML name. With 16-bit text the halves of a
/// character beyond U+FFFF count as such characters.
bool IsXmlNameStartChar(wchar_t c);

/// True when c may continue an XML name.
bool IsXmlNameChar(wchar_t c);

/// True when name is an XML 1.0 Name: a start character, then name characters.
bool IsXmlName(std::wstring_view name);

/// True when name is an XML name that a new element or attribute may take:
/// without a prefix (it would need a namespace declaration, and without one
/// the saved file would not load again).
bool IsUnprefixedXmlName(std::wstring_view name);

/// True when name is that of a namespace declaration ("xmlns", "xmlns:p"):
/// never set as an attribute, since it would change what the names mean.
bool IsNamespaceDeclarationName(std::wstring_view name);

/// True when the document in bytes (in any encoding whose markup characters
/// are ASCII code units: UTF-8, UTF-16 and UTF-32 in either byte order, the
/// single-byte code pages) has an element with more than
/// kMaxAttributesPerElement attributes, or a DOCTYPE that could give one
/// that many default values (counted generously: half its quote characters
/// plus its parameter-entity references). Linear in the bytes, so the
/// parsers never see such an element: libxml2 2.9's cost grows with the
/// square of one element's attributes.
bool ExceedsAttributeBound(std::string_view bytes);

/// True when every character of text may stand in an XML 1.0 document (tab,
/// line feed, carriage return, U+0020..U+D7FF, U+E000..U+FFFD and beyond
/// U+FFFF; with 16-bit text only as a whole surrogate pair).
bool IsXmlText(std::wstring_view text);

}  // namespace kalinor::platform
