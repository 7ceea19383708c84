// Windows has no FIFO in the file system (its named pipes live under
// \\.\pipe\) and no link to a device that a test could make.
#include "support/special_files.h"

namespace kalinor::testing {

bool MakeFifo(const std::filesystem::path&) { return false; }

bool LinkToEndlessDevice(const std::filesystem::path&) { return false; }

bool ServicesAreStandIns() { return false; }

}  // namespace kalinor::testing
