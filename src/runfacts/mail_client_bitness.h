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

/// A mail client's bitness against a program's.
enum class BitnessMatch { kUnknown, kSame, kDifferent };

/// kUnknown when the client's bitness is "" (not known), else whether it is
/// the program's. MAPI loads only into a program of the client's bitness.
BitnessMatch MatchBitness(const std::wstring& client, const std::wstring& program);

/// How the mail client was installed.
enum class MailClientKind { None, ClickToRun, Msi };

/// The mail client as the values above describe it.
struct MailClient {
  std::wstring Bitness;  // as MailClientBitness()
  MailClientKind Kind = MailClientKind::None;
  std::wstring Version;  // "" when not known
};

/// The installed mail client from the same values. Click-to-Run when its
/// "Platform" names a bitness (its version: that key's "VersionToReport");
/// else MSI when an Outlook key's "Bitness" does (its version: the key's
/// Office version, as "16.0"); else None. Unreadable values read as absent.
MailClient FindMailClient();

}  // namespace kalinor
