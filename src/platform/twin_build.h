// This program's build for the other bitness (its twin), into which the MAPI
// of a mail client of that bitness loads: where the Kalinor package puts it
// beside this build, and running it in this one's place.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/system_error.h"

namespace kalinor::platform {

/// The twin's bitness: "x86" for an x64 build, "x64" for an x86 one; "" for
/// a build without a twin (POSIX, ARM64).
const wchar_t* TwinBuildName();

/// Where the twin of this program lies as the package installs both: an x64
/// build's in the folder "x86" inside its own folder, an x86 build's in the
/// folder above its own, under this program's file name. Whether a file is
/// there is the caller's question. "" for a build without a twin.
std::wstring TwinBuildPath();

/// Whether the twin at path may be run in this one's place: in a privileged
/// run (elevated, a service account) only when neither the file nor any
/// folder above it is a link and no account but the system's and this run's
/// own may change, replace or re-permit the file, or rename, delete or
/// re-permit a folder on the way (so no user put it there); in any other
/// run, true. False when that cannot be read.
bool TwinIsSafeToRun(const std::wstring& path);

/// Runs program with args (quoted as the C runtime reads them back), with
/// this process's environment, current folder and standard handles, waits
/// for it to end and returns its exit code. nullopt, with error set, when it
/// could not be started.
std::optional<int> RunInThisOnesPlace(const std::wstring& program,
                                      const std::vector<std::wstring>& args, SystemError& error);

}  // namespace kalinor::platform
