// File-system services: the existence test, folder creation, the copy, move
// and delete that the settings code fires and forgets, the file-status query,
// the pause, whole-file reads and atomic whole-file writes. Paths are wide
// text (UTF-8 file names on POSIX). None of these raises.
#pragma once

#include <string>
#include <string_view>

namespace kalinor::platform {

/// The separator between a folder and what it holds: '\\' on Windows, '/' on POSIX.
extern const wchar_t kPathSeparator;

/// True when anything (file or folder) exists at path. False for "".
bool PathExists(const std::wstring& path);

/// Creates one folder (its parent must exist). False when it was not created,
/// also when it exists already.
bool CreateFolder(const std::wstring& path);

/// Copies a file; with fail_if_exists an existing destination makes it fail
/// and stays untouched. False on any failure.
bool CopyFileTo(const std::wstring& from, const std::wstring& to, bool fail_if_exists);

/// Moves a file or folder. Never replaces an existing destination; across
/// file systems it copies and then deletes, as MoveFileW does. False on failure.
bool MoveFileTo(const std::wstring& from, const std::wstring& to);

/// Deletes a file; a folder is never deleted. False on failure.
bool DeleteFileAt(const std::wstring& path);

/// A stat-style query: true when the path's status could be read.
bool QueryFileStatus(const std::wstring& path);

/// Pauses the thread for the given milliseconds.
void SleepMilliseconds(unsigned milliseconds);

/// Reads a whole file into bytes. False (bytes emptied) when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

/// Writes bytes as the whole new content of path: to a temporary file in the
/// same folder, flushed to disk, then renamed over path. On any failure the
/// old file is left whole, the temporary file is removed, and false returns.
bool WriteFileAtomically(const std::wstring& path, std::string_view bytes);

/// Renames an already written file over target in one step (replacing it),
/// flushing first. False on failure; the target is then left as it was.
bool ReplaceFileWith(const std::wstring& written, const std::wstring& target);

/// A name for a temporary file in the same folder as path, not existing now.
std::wstring TemporarySiblingPath(const std::wstring& path);

}  // namespace kalinor::platform
