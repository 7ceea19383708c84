// Inside the MSXML DOM primitives: the syntax of node paths.
// Used only by win32/ sources.
#pragma once

#include <string_view>

namespace kalinor::platform::msxml_dom {

/// True when query is a node path of the language that both builds speak
/// (see platform/xml_dom.h): MSXML's XSL patterns take more, and some
/// versions of the component crash on malformed ones, so nothing else is
/// handed to it.
bool IsNodePath(std::wstring_view query);

}  // namespace kalinor::platform::msxml_dom
