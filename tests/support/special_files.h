// Files that are not regular files, for the tests of the readers that must
// refuse them. Each returns false where the platform cannot make the kind
// (the test then skips that case).
#pragma once

#include <filesystem>

namespace kalinor::testing {

/// Makes a FIFO (named pipe) at path, which no process writes to.
bool MakeFifo(const std::filesystem::path& path);

/// Makes path a symbolic link to a device that never runs dry (/dev/zero).
bool LinkToEndlessDevice(const std::filesystem::path& path);

/// True where the registry and the special folders are the POSIX stand-ins,
/// which read files of their own (the .reg file, user-dirs.dirs).
bool ServicesAreStandIns();

}  // namespace kalinor::testing
