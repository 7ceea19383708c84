// The run log's file: each line appended on its own, so that runs at once
// share one log. (A log on standard error goes through console.h.)
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

}  // namespace kalinor::platform
