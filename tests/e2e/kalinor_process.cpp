#include "e2e/kalinor_process.h"

#include <filesystem>
#include <sstream>

namespace kalinor::testing {

void KalinorProcessTest::WriteHomeFile(const std::string& relative, const std::string& bytes) {
  const std::filesystem::path path(InHome(relative));
  std::filesystem::create_directories(path.parent_path());
  ASSERT_TRUE(WriteFileBytes(platform::FromUtf8(path.string()), bytes));
}

std::map<std::string, std::string> KalinorProcessTest::HomeListing() const {
  std::map<std::string, std::string> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Path())) {
    const std::string path = entry.path().string();
    if (path == InHome("debug.log")) continue;
    std::ostringstream state;
    state << (entry.is_directory() ? "folder" : "file")
          << (entry.is_directory() ? 0 : entry.file_size()) << "@"
          << entry.last_write_time().time_since_epoch().count();
    entries[path] = state.str();
  }
  return entries;
}

int Occurrences(const std::string& haystack, const std::string& needle) {
  int count = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + 1))
    ++count;
  return count;
}

}  // namespace kalinor::testing
