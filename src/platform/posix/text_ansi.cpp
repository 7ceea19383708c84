// On POSIX the "ANSI code page" is UTF-8, the system's own 8-bit text, as on
// a Windows machine set to the UTF-8 code page.
#include "platform/text.h"

namespace kalinor::platform {

std::string ToAnsiCodePage(std::wstring_view text) { return ToUtf8(text); }

std::wstring FromAnsiCodePage(std::string_view bytes) { return FromUtf8(bytes); }

}  // namespace kalinor::platform
