// Which XML DOM the build's XMLDocument stands on. Saved files are laid out
// by the DOM (declaration, indentation, encodings, depth limits), so tests of
// that layout hold for one DOM only and skip on the other, saying why.
#pragma once

namespace kalinor::testing {

/// True on the POSIX build (libxml2); false on the Windows build (MSXML).
bool XmlDomIsLibxml2();

}  // namespace kalinor::testing
