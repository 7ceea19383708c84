// The run log: a copy of every debugger-channel write, for setup programs
// that cannot watch the debugger channel. KALINOR_LOG names a file to append
// to, or "stderr" for the standard error stream; unset or empty, no log.
// KALINOR_LOG_FORMAT=cmtrace lays the lines out as Configuration Manager's
// log viewers read them; any other value, the timestamp and the text.
// The lines themselves are written by the log sink (report/log_sink.h).
#pragma once

#include <string>
#include <vector>

#include "frontend/exit_codes.h"
#include "runfacts/run_facts.h"

namespace kalinor {

/// The log of one run. While it lives, every debugger-channel write is also
/// written to the log as one line behind an ISO-8601 timestamp, with every
/// HRESULT named. The debugger channel itself is left as it is.
class RunLog {
 public:
  /// Reads KALINOR_LOG and KALINOR_LOG_FORMAT and, when a log is asked for,
  /// writes the header line (version, build, user, the arguments, the local
  /// time), then a line for each of the run's facts and one for the exit-code
  /// mode. A relative path is taken from the current folder, and the log
  /// says so. The file is opened once
  /// and written through that handle for the whole run; one that cannot be
  /// opened or is refused (a link, not a regular file, more than one link,
  /// another account's) is named with the reason in one line on standard
  /// error, and the run goes on without a log. A log that cannot be written
  /// to later is dropped without a word.
  RunLog(const std::vector<std::wstring>& args, const RunFacts& facts, ExitCodeMode mode);
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  /// Writes the closing line with the exit code; nothing without a log.
  void Finish(int exitCode);
};

}  // namespace kalinor
