#include "e2e/kalinor_process.h"

#include <filesystem>

namespace kalinor::testing {

void KalinorProcessTest::WriteHomeFile(const std::string& relative, const std::string& bytes) {
  const std::filesystem::path path(InHome(relative));
  std::filesystem::create_directories(path.parent_path());
  ASSERT_TRUE(WriteFileBytes(platform::FromUtf8(path.string()), bytes));
}

int Occurrences(const std::string& haystack, const std::string& needle) {
  int count = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + 1))
    ++count;
  return count;
}

}  // namespace kalinor::testing
