// The operating-system steps behind the portable file algorithms of
// files.cpp: one function per step, implemented in posix/files.cpp and
// win32/files.cpp. For the platform layer only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_error.h"

namespace kalinor::platform::os {

/// Not empty and no NUL inside: the rule every file operation applies first.
bool IsUsablePath(const std::wstring& path);

/// The running process's identifier, for temporary file names.
unsigned long CurrentProcessId();

/// True only when no process with this identifier runs now (POSIX: kill(pid,
/// 0) fails with ESRCH; Windows: OpenProcess fails with
/// ERROR_INVALID_PARAMETER). False while one runs, also one this process may
/// not touch, and when it cannot be told.
bool IsProcessGone(unsigned long process_id);

/// The names of the entries in folder ("" is the current folder), without "."
/// and ".."; on Windows also each entry's short (8.3) name where it has one,
/// since either name opens it. nullopt when the folder cannot be listed or a
/// read of the listing fails part way.
std::optional<std::vector<std::wstring>> FolderEntryNames(const std::wstring& folder);

/// "<file_name>.<pid>-<n>.tmp": a new temporary name for file_name on
/// every call (n a random number of up to ten digits), in the same folder.
std::wstring TemporaryNameFor(const std::wstring& file_name);

/// True when name is a temporary file of file_name (TemporaryNameFor) whose
/// writer no longer runs: a save killed before its rename left it.
bool IsLeftoverTemporaryOf(const std::wstring& name, const std::wstring& file_name);

/// The names of a path relative to a held folder, split at kPathSeparator;
/// nullopt when one is empty, "." or "..", or holds a ':' (a stream on
/// Windows): such a path could leave the folder or name something else.
std::optional<std::vector<std::wstring>> RelativeNames(const std::wstring& relative);

}  // namespace kalinor::platform::os
