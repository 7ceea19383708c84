// The operating-system steps behind the portable held folder of
// held_folder.cpp: one function per step, implemented in
// posix/held_folder_os.cpp and win32/held_folder_os.cpp. Every name is one
// plain name relative to an open folder; no step follows a link at it. For
// the platform layer only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/checked_file.h"
#include "platform/files.h"
#include "platform/native_file.h"
#include "platform/system_error.h"

namespace kalinor::platform::os {

using Native = NativeFileTraits::Handle;

/// What an open entry is, as its own handle tells.
struct EntryFacts {
  FileKind Kind = FileKind::kMissing;  ///< kLink only for a link (a name surrogate on Windows)
  std::uint64_t Size = 0;
  std::uint64_t Links = 0;  ///< the file's number of names
};

/// What an entry is opened for: what the opening asks of the system.
enum class EntryUse {
  kLook,    ///< its facts only
  kRead,    ///< its content; shares read, write and delete with others
  kDelete,  ///< deleting it
  kMove,    ///< reading it and renaming or deleting it
};

/// An act of the run in a folder that a user's processes may change.
enum class UserAct {
  kRead,          ///< reading the entry's content
  kCreateFile,    ///< creating a file in the folder (no entry)
  kCreateFolder,  ///< creating a folder in the folder (no entry)
  kDelete,        ///< deleting the entry, or moving it away
  kReplace,       ///< renaming a file over the entry, which deletes it
};

/// Whether the user this run acts for could do act themselves (entry, where
/// the act has one, open in folder). Windows, in the elevated half of a split
/// token: AccessCheck of the user's own unelevated token over the entry's and
/// the folder's descriptors; kDenied, at the step "not allowed to the user
/// this run acts for", when it could not. No failure in every other run: an
/// unelevated run is the user, and on POSIX the system checks the file-system
/// identity a root run takes in another account's folder.
SystemError UserCould(Native folder, Native entry, UserAct act);

/// True for a run with rights beyond a user's own: root on POSIX; on Windows
/// an elevated token or a service account's.
bool RunIsPrivileged();

/// Opens the folder at path to hold, pinned (it cannot be renamed or
/// deleted while held, where the system can say so), without following a
/// link at it; realPath gets its real path without a closing separator ("" for
/// the root). In a privileged run a link on the way that the system did not
/// make is refused (kIsLink), and refusedLink names it. The cause on failure.
SystemError OpenHeldRoot(const std::wstring& path, NativeFile& folder, std::wstring& realPath,
                         std::wstring& refusedLink);

/// Creates the folder name in folder (kExists when anything lies there),
/// for its owner alone with ownerOnly, and opens it as OpenSubfolder does.
SystemError CreateFolderIn(Native folder, const std::wstring& name, bool ownerOnly,
                           NativeFile& opened);

/// Opens the folder name in folder, pinned; a link there is refused
/// (kIsLink), never followed.
SystemError OpenSubfolder(Native folder, const std::wstring& name, NativeFile& opened);

/// Opens the entry name in folder (a file, a folder, or a link itself) for
/// use. A sharing violation that lasts a moment is waited out, briefly.
SystemError OpenEntryIn(Native folder, const std::wstring& name, EntryUse use, NativeFile& opened);

/// The facts of an open entry. The cause on failure.
SystemError FactsOf(Native entry, EntryFacts& facts);

/// Whether the open entry lies below the folder whose real path is given,
/// as its own handle says (a layer that follows a link on the way, as Wine
/// does for the host's links, is caught here; POSIX: always, since no step
/// there follows one).
bool LiesBelow(Native entry, const std::wstring& folderReal);

/// Deletes the entry name in folder, opened as entry (kDelete).
SystemError DeleteEntry(Native folder, const std::wstring& name, Native entry);

/// Renames the entry name in folder, opened as entry (kMove or a new file),
/// to toName in toFolder; replaces a file there only with replace. Without
/// replace a taken name is kExists.
SystemError RenameEntry(Native folder, const std::wstring& name, Native entry, Native toFolder,
                        const std::wstring& toName, bool replace);

/// True when a rename failed only because the two folders lie on different
/// file systems (EXDEV, ERROR_NOT_SAME_DEVICE).
bool IsOtherFileSystem(SystemError error);

/// Creates name in folder as a new, empty file for writing; kExists when
/// anything lies there.
SystemError CreateNewFile(Native folder, const std::wstring& name, NativeFile& file);

/// Writes every byte to the open file.
SystemError WriteAll(Native file, std::string_view bytes);

/// Copies the open file in, from where it stands to its end, to out.
SystemError CopyContent(Native in, Native out);

/// Flushes the open file's content to disk.
SystemError Flush(Native file);

/// Reads the open file from where it stands to its end into bytes; kTooLarge
/// (bytes then emptied) when it holds more than max_bytes.
SystemError ReadToEnd(Native file, std::uint64_t expectedSize, std::string& bytes,
                      std::size_t max_bytes);

/// Gives file the owner and permissions (POSIX: mode; Windows: DACL) of
/// old where this process may set them, so that a file of another account
/// stays theirs.
void TakeOwnerAndPermissions(Native old, Native file);

/// The names in the open folder, without "." and "..".
std::vector<std::wstring> NamesIn(Native folder);

/// Opens name in folder as a checked file for use (checked_file.h's rules:
/// created exclusively first unless kExistingLock, else the one there; never
/// through a link; kept only when a regular file with one name, the run's
/// own or created now). A privileged run keeps one only in a folder of its
/// own account's (POSIX: created and checked as the folder's owner where
/// another account owns it; Windows: as the user's own token allows, where
/// the run holds one).
CheckedFile OpenCheckedFileIn(Native folder, const std::wstring& name, CheckedFileUse use);

/// Makes a rename in the open folder durable (POSIX fsync of the folder;
/// Windows, where a rename's metadata is journaled, nothing).
void SyncFolder(Native folder);

}  // namespace kalinor::platform::os
