// File-system services by name: the existence test, folder creation, the
// delete, the file-status query, the pause, whole-file reads, atomic
// whole-file writes and the path split. Paths are wide text (UTF-8 file names
// on POSIX). None of these raises: an act returns the system's error
// (system_error.h), a question a plain answer. Every operation refuses an
// empty path and a path with a NUL inside (which the system calls would
// silently cut short to another file's name) with UnusablePathError(). What
// the uninstall copies, moves and deletes goes through a held folder
// (held_folder.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/system_error.h"

namespace kalinor::platform {

/// The separator between a folder and what it holds: '\\' on Windows, '/' on POSIX.
extern const wchar_t kPathSeparator;

/// A path cut at its last separator.
struct PathParts {
  /// What comes before the separator, without it; the root ("/", "\") when
  /// the separator comes first; "" when there is none.
  std::wstring Folder;
  /// What comes after the separator; the whole path when there is none.
  std::wstring Name;
};

/// Which characters cut a path: every separator the system takes
/// (kPathSeparator, and '/' on Windows too), or kPathSeparator alone. The
/// cleanup names a folder's entries by the second: a '/' on Windows then
/// stays in the name, which is then no plain file name.
enum class PathSeparators { kAny, kNativeOnly };

/// Cuts path at its last separator of the given kind.
PathParts SplitPath(const std::wstring& path, PathSeparators separators = PathSeparators::kAny);

/// The last part of path, after its last kPathSeparator; the whole of a path
/// without one: SplitPath(path, kNativeOnly).Name.
std::wstring LastPathPart(const std::wstring& path);

/// The folder that holds path: SplitPath(path).Folder.
std::wstring ParentFolder(const std::wstring& path);

/// name in folder: joined by kPathSeparator unless folder already ends with
/// a separator; name alone when folder is "".
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

/// True when path is absolute: "/..." on POSIX; "X:\..." (or "X:/...") or a
/// UNC path "\\server\..." on Windows. False for "".
bool IsAbsolutePath(const std::wstring& path);

/// path as an absolute path: itself when absolute, else joined to the current
/// folder (Windows: GetFullPathNameW, which also folds "." and ".."); links
/// are not resolved. "" when the current folder cannot be read.
std::wstring AbsolutePathOf(const std::wstring& path);

/// True when anything (file or folder) exists at path. False for "".
bool PathExists(const std::wstring& path);

/// True only when the system says that nothing lies at path (ENOENT,
/// ENOTDIR; ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND): false when something
/// is there, and when it cannot be told (no access, a network failure).
bool IsGone(const std::wstring& path);

/// Who may use a folder that is created.
enum class FolderAccess {
  kDefault,    ///< the system's default (POSIX: 0777 less the umask)
  kOwnerOnly,  ///< the user alone (POSIX: 0700; on Windows the default)
};

/// Creates one folder (its parent must exist). The cause when it was not
/// created, also when it exists already (EEXIST, ERROR_ALREADY_EXISTS).
SystemError CreateFolder(const std::wstring& path, FolderAccess access = FolderAccess::kDefault);

/// The folders CreateFolderWithParents tests and creates, in order: the text
/// before each separator from the third character on ("C:", "C:\x"; "/a" but
/// not "/"); below a UNC root ("\\server\share") only, never the root's own
/// parts. Empty for paths of at most one character.
std::vector<std::wstring> FolderPathPrefixes(const std::wstring& path);

/// Creates every missing folder along path, parents first. Succeeds when all
/// of them exist afterwards (one made meanwhile by another process counts)
/// and for ""; the cause at the first that could not be made.
SystemError CreateFolderWithParents(const std::wstring& path,
                                    FolderAccess access = FolderAccess::kDefault);

/// Deletes a file; a folder is never deleted (EISDIR on POSIX, Windows'
/// own refusal). The cause on failure.
SystemError DeleteFileAt(const std::wstring& path);

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
/// reads as unreadable. The cause (bytes emptied) when it cannot be read, is
/// no regular file (EISDIR or EINVAL; ERROR_INVALID_FUNCTION on Windows), or
/// holds more than max_bytes (EFBIG, ERROR_FILE_TOO_LARGE).
SystemError ReadWholeFile(const std::wstring& path, std::string& bytes,
                          std::size_t max_bytes = kWholeFileReadLimit);

/// Writes bytes as the whole new content of path: to a temporary file in the
/// same folder, flushed to disk, then renamed over path. On any failure the
/// old file is left whole, the temporary file is removed, and the cause returns.
SystemError WriteFileAtomically(const std::wstring& path, std::string_view bytes);

/// What lies at a path, seen without following a link at its end.
enum class FileKind { kMissing, kRegularFile, kFolder, kLink, kOther };

/// The kind of what lies at path; a link (on Windows a symbolic link or a
/// junction) is kLink whatever it points at; a device, pipe or socket is
/// kOther. kMissing when nothing is there or it cannot be queried.
FileKind QueryFileKind(const std::wstring& path);

/// The absolute path of what lies at path with ".", ".." and every link on
/// the way resolved; a link at its end is not followed (its own place is
/// given). On Windows the form GetFinalPathNameByHandleW gives, without its
/// \\?\ prefix (C:\x, \\server\share\x). "" when nothing is there
/// or it cannot be resolved.
std::wstring RealPathOf(const std::wstring& path);

/// The path as the file system compares names: upper-cased on Windows,
/// unchanged on POSIX. Two real paths name the same entry when their keys
/// are equal.
std::wstring PathComparisonKey(const std::wstring& path);

/// True when name, put after a folder and a separator, names one entry in
/// that folder as it stands on every file system: not empty, "." or "..";
/// no separator of either kind, no ':' (a stream on Windows), no control or
/// wildcard character (*?"<>|), no trailing dot or blank (Windows drops
/// them) and no device name such as "NUL.fdb" (Windows opens the device).
bool IsPlainFileName(const std::wstring& name);

/// True when the text of path names another machine, a device or a stream,
/// whatever the file system would say: it begins with two separators of
/// either kind (UNC \\host\share, \\?\, \\.\pipe), with the NT object
/// prefix \??\, or holds a ':' anywhere but after a drive
/// letter at its start ("x.fdb:stream", "C:x:y"). Judged before any
/// file-system call, so that no such path is ever opened.
bool NamesAnotherMachineOrDevice(const std::wstring& path);

/// The drive path that the long-path form of a local path stands for:
/// "\\?\C:\x\y" is "C:\x\y" where Windows would pass it on as that path,
/// that is with no "." or ".." step, no '/', and no name ending in a dot or
/// blank (\\?\ passes those to the file system unnormalized). nullopt for
/// any other text, and on systems whose separator is not '\'.
std::optional<std::wstring> LocalFormOfLongPath(const std::wstring& path);

/// One folder's entry names, listed once, that tell without a query of its
/// own that a name certainly names nothing there: for long lists of files
/// that are mostly gone. Never refreshed: a file made in the folder after the
/// listing is not seen, one removed since still counts as there.
class FolderListing {
 public:
  /// Lists folder. Nothing is ever certain of a folder that cannot be listed,
  /// nor of one holding a name outside printable ASCII, which a file system
  /// that folds case or normalises names might open by a plain name.
  explicit FolderListing(const std::wstring& folder);

  /// True only when name is plain (ASCII letters, digits and " -_.~{}()+",
  /// no trailing dot or blank, no device name such as "NUL.fdb", neither "."
  /// nor "..") and no entry's name, nor short name on Windows, equals it
  /// letter case aside. False whenever that is not certain.
  bool CertainlyLacks(const std::wstring& name) const;

 private:
  // Every entry's name, ASCII lower-cased; nullopt when nothing is certain.
  std::optional<std::unordered_set<std::wstring>> names_;
};

}  // namespace kalinor::platform
