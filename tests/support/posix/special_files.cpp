#include "support/special_files.h"

#include <sys/stat.h>

namespace kalinor::testing {

bool MakeFifo(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

bool LinkToEndlessDevice(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::create_symlink("/dev/zero", path, error);
  return !error;
}

bool ServicesAreStandIns() { return true; }

}  // namespace kalinor::testing
