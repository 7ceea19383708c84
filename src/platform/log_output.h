// Where the run log goes: a file that each line is appended to, or the
// standard error stream (which a setup program's quiet-exec action captures).
#pragma once

#include <string>
#include <string_view>

namespace kalinor::platform {

/// Appends line and a line feed to the file at path, as UTF-8, creating the
/// file (not its folder) when missing. The file is opened for each line, so
/// that lines of runs at once never interleave within a line, and never
/// blocks on a pipe without reader. False when it could not be opened or
/// written; the file is then left as it was as far as possible.
bool AppendLineToFile(const std::wstring& path, std::wstring_view line);

/// Writes line and a line feed to standard error: the console's wide write
/// on Windows, UTF-8 when redirected (always UTF-8 on POSIX). Failures are
/// ignored.
void WriteLineToStandardError(std::wstring_view line);

}  // namespace kalinor::platform
