// A test seam: while an OutputCapture lives, standard output, standard error
// and the debugger channel are recorded in it, one entry per write, instead
// of being written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalinor::platform {

class OutputCapture {
 public:
  OutputCapture();
  ~OutputCapture();
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;

  /// Each standard-output write, in order.
  std::vector<std::wstring> standard_output;
  /// Each standard-error write, in order.
  std::vector<std::wstring> standard_error;
  /// Each debugger-channel write, in order, exactly as passed (no line feed
  /// added).
  std::vector<std::wstring> debug_output;

  /// All standard-output writes joined.
  std::wstring StandardOutputText() const;

  /// The capture in force, or null.
  static OutputCapture* Active();

  /// For the channel implementations: records a standard-output write in the
  /// capture in force and returns true; false (nothing recorded) without one.
  static bool CaptureStandardOutput(std::wstring_view text);
  /// The same for a standard-error write.
  static bool CaptureStandardError(std::wstring_view text);
  /// The same for a debugger-channel write.
  static bool CaptureDebugOutput(std::wstring_view text);

 private:
  OutputCapture* previous_;
};

}  // namespace kalinor::platform
