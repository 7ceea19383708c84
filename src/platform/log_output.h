// The run log's file, opened once per run and written through that one
// handle to the end: a name looked up again for a later line could lead
// somewhere else. (A log on standard error goes through console.h.)
#pragma once

#include <string>
#include <string_view>

#include "platform/checked_file.h"

namespace kalinor::platform {

/// A log file opened for appending only (platform/checked_file.h: no link
/// followed, a regular file with one link, POSIX also the running account's
/// own or created now). Move-only; closed when it leaves scope.
class AppendOnlyLogFile {
 public:
  /// Opens or creates the file at path (not its folder). IsOpen() is false
  /// when it could not be opened or was refused; Refusal() then says why.
  explicit AppendOnlyLogFile(const std::wstring& path);

  bool IsOpen() const { return m_file.IsValid(); }
  const std::wstring& Refusal() const { return m_refusal; }

  /// Appends line and a line feed, as UTF-8, in one write, so that lines of
  /// runs at once never interleave within a line. The cause when the file is
  /// not open (EBADF, ERROR_INVALID_HANDLE) or not all of it was written.
  SystemError AppendLine(std::wstring_view line);

 private:
  NativeFile m_file;
  std::wstring m_refusal;
};

}  // namespace kalinor::platform
