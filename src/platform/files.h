// File-system services: the existence test, folder creation, the copy, move
// and delete that the settings code fires and forgets, the file-status query,
// the pause, whole-file reads and atomic whole-file writes. Paths are wide
// text (UTF-8 file names on POSIX). None of these raises. Every operation
// refuses an empty path and a path with a NUL inside (which the system calls
// would silently cut short to another file's name).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalinor::platform {

/// The separator between a folder and what it holds: '\\' on Windows, '/' on POSIX.
extern const wchar_t kPathSeparator;

/// True when path is absolute: "/..." on POSIX; "X:\..." (or "X:/...") or a
/// UNC path "\\..." on Windows. False for "".
bool IsAbsolutePath(const std::wstring& path);

/// True when anything (file or folder) exists at path. False for "".
bool PathExists(const std::wstring& path);

/// Who may use a folder that is created.
enum class FolderAccess {
  kDefault,    ///< the system's default (POSIX: 0777 less the umask)
  kOwnerOnly,  ///< the user alone (POSIX: 0700; on Windows the default)
};

/// Creates one folder (its parent must exist). False when it was not created,
/// also when it exists already.
bool CreateFolder(const std::wstring& path, FolderAccess access = FolderAccess::kDefault);

/// The folders CreateFolderWithParents tests and creates, in order: the text
/// before each separator from the third character on ("C:", "C:\x"; "/a" but
/// not "/"); below a UNC root ("\\server\share") only, never the root's own
/// parts. Empty for paths of at most one character.
std::vector<std::wstring> FolderPathPrefixes(const std::wstring& path);

/// Creates every missing folder along path, parents first. True when all of
/// them exist afterwards (one made meanwhile by another process counts);
/// false at the first that could not be made. True for "".
bool CreateFolderWithParents(const std::wstring& path,
                             FolderAccess access = FolderAccess::kDefault);

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
