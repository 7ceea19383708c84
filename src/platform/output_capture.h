// A test seam: while an OutputCapture lives, standard output and the debugger
// channel are recorded in it, one entry per write, instead of being written.
#pragma once

#include <string>
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
  /// Each debugger-channel write, in order, exactly as passed (no line feed
  /// added).
  std::vector<std::wstring> debug_output;

  /// All standard-output writes joined.
  std::wstring StandardOutputText() const;

  /// The capture in force, or null. Used by the channel implementations.
  static OutputCapture* Active();

 private:
  OutputCapture* previous_;
};

}  // namespace kalinor::platform
