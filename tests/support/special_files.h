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

/// True where the registry is the stand-in's .reg file rather than the
/// system's own.
bool RegistryIsAFile();

}  // namespace kalinor::testing
