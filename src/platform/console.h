// Standard output and standard error: the only console text the tool writes
// is the usage text and a few error lines, each written exactly as given, and
// the run log when it is asked for on standard error.
#pragma once

#include <string_view>

namespace kalinor::platform {

/// Writes text to standard output unchanged, adding nothing (UTF-8 on POSIX;
/// the console's own wide write on Windows, UTF-8 when redirected). A failed
/// write is ignored: there is nowhere else to report it.
void WriteStandardOutput(std::wstring_view text);

/// Writes text to standard error unchanged, as WriteStandardOutput does to
/// standard output (OutputCapture records it as standard_error). Failures are ignored.
void WriteStandardError(std::wstring_view text);

}  // namespace kalinor::platform
