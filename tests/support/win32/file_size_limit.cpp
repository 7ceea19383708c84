// Windows has no per-process limit on file sizes: tests that need one skip.
#include "support/file_size_limit.h"

namespace kalinor::testing {

FileSizeLimit::FileSizeLimit(std::uint64_t) {}

FileSizeLimit::~FileSizeLimit() = default;

}  // namespace kalinor::testing
