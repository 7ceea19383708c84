// The run log: a copy of every debugger-channel write, for setup programs
// that cannot watch the debugger channel. KALINOR_LOG names a file to append
// to, or "stderr" for the standard error stream; unset or empty, no log.
// The lines themselves are written by the log sink (report/log_sink.h).
#pragma once

#include <string>
#include <vector>

namespace kalinor {

/// The log of one run. While it lives, every debugger-channel write is also
/// written to the log as one line behind an ISO-8601 timestamp, with every
/// HRESULT named. The debugger channel itself is left as it is.
class RunLog {
 public:
  /// Reads KALINOR_LOG and, when a log is asked for, writes the header line
  /// (version, build, user, the arguments, the local time). A log that
  /// cannot be written to is dropped without a word: the run goes on as
  /// without one.
  explicit RunLog(const std::vector<std::wstring>& args);
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  /// Writes the closing line with the exit code; nothing without a log.
  void Finish(int exitCode);
};

}  // namespace kalinor
