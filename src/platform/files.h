// File-system services: the existence test, folder creation, the copy, move
// and delete that the settings code fires and forgets, the file-status query,
// the pause, whole-file reads and atomic whole-file writes. Paths are wide
// text (UTF-8 file names on POSIX). None of these raises.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

/// What tells one version of a file from another: its identity (device and
/// inode, or volume and file index), its size and its last change times. A
/// file replaced by a rename gets a new identity.
struct FileStamp {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  std::uint64_t size = 0;
  std::uint64_t modified = 0;  // in the platform's own units
  std::uint64_t changed = 0;   // status change (POSIX) or creation (Windows)
  bool operator==(const FileStamp&) const = default;
};

/// The stamp of the file at path, links followed. nullopt when there is no
/// file or its status cannot be read.
std::optional<FileStamp> QueryFileStamp(const std::wstring& path);

/// Pauses the thread for the given milliseconds.
void SleepMilliseconds(unsigned milliseconds);

/// The size cap of a whole-file read unless the reader names its own: 64 MiB.
/// The connector's settings files hold about 150 bytes per store, so this is
/// some 400,000 stores; a file past it is no settings file, or a device.
inline constexpr std::size_t kWholeFileReadLimit = 64 * 1024 * 1024;

/// Reads a whole regular file into bytes without ever waiting for a writer:
/// it is opened without blocking (a FIFO opens at once) and refused unless it
/// is a regular file (Windows: a disk file), so a FIFO, a device or a folder
/// reads as unreadable. False (bytes emptied) when it cannot be read, is no
/// regular file, or holds more than max_bytes.
bool ReadWholeFile(const std::wstring& path, std::string& bytes,
                   std::size_t max_bytes = kWholeFileReadLimit);

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
