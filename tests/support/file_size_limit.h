// A test seam for a full disk: while a FileSizeLimit lives, writing any file
// of this process past the limit fails.
#pragma once

#include <cstdint>

namespace kalinor::testing {

class FileSizeLimit {
 public:
  /// Limits every file this process writes to bytes; see Active().
  explicit FileSizeLimit(std::uint64_t bytes);
  /// Lifts the limit again.
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  /// False where the platform cannot limit file sizes (the test should skip).
  bool Active() const { return m_active; }

 private:
  bool m_active = false;
  std::uint64_t m_previous = 0;
};

}  // namespace kalinor::testing
