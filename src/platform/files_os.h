// The operating-system steps behind the portable file algorithms of
// files.cpp: one function per step, implemented in posix/files.cpp and
// win32/files.cpp. For the platform layer only.
#pragma once

#include <string>
#include <string_view>

namespace kalinor::platform::os {

/// Not empty and no NUL inside: the rule every file operation applies first.
bool IsUsablePath(const std::wstring& path);

/// The running process's identifier, for temporary file names.
unsigned long CurrentProcessId();

/// What WriteNewFile did.
enum class NewFileResult { kWritten, kNameTaken, kFailed };

/// Creates path as a new file (kNameTaken when anything exists there now),
/// gives it the permissions of `like` where that is a regular file (POSIX),
/// writes bytes, flushes them to disk and closes it. A file it created is
/// removed again when a later step fails.
NewFileResult WriteNewFile(const std::wstring& path, const std::wstring& like,
                           std::string_view bytes);

/// Flushes an already written file's content to disk. False on failure.
bool FlushFileAt(const std::wstring& path);

/// Renames from over to in one step, replacing to, and makes the rename
/// itself durable. False on failure; both names are then as they were.
bool RenameOver(const std::wstring& from, const std::wstring& to);

}  // namespace kalinor::platform::os
