// The bitness of this build and of the installed mail client, so that MAPI
// is loaded only where it can be: a 64-bit process cannot load a 32-bit
// client's MAPI, and trying may raise MAPI's own dialog boxes.
#pragma once

#include <string>

namespace kalinor {

/// This build's bitness: L"x64" or L"x86".
std::wstring ProcessBitness();

/// The mail client's bitness, L"x64" or L"x86", from HKLM
/// "SOFTWARE\Microsoft\Office\<version>\Outlook" value "Bitness" (the
/// 32-bit view's copy under WOW6432Node too), else
/// "SOFTWARE\Microsoft\Office\ClickToRun\Configuration" value "Platform";
/// "" when none of them is found or none names a known bitness.
std::wstring MailClientBitness();

}  // namespace kalinor
