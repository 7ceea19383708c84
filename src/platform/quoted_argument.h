// One argument quoted for a Windows command line: the twin build's hand-over,
// the test support's process runner and the debug-output harness (which
// links nothing of the project, so this stays header-only).
#pragma once

#include <cstddef>
#include <string>

namespace kalinor::platform {

/// One argument as CommandLineToArgvW and the C runtime read it back: quoted
/// when it is empty or holds blanks or quotes, with the backslashes before a
/// quote (or before the closing quote) doubled.
inline std::wstring QuotedArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace kalinor::platform
