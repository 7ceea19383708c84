// A folder opened once, without following links, and held while the run acts
// inside it. Every act names its entry relative to the held folder and opens
// each folder on the way without following a link (POSIX openat with
// O_NOFOLLOW; Windows NtCreateFile relative to the held handle with
// FILE_OPEN_REPARSE_POINT), so that a folder swapped for a link or junction
// after a check is refused, never followed: the run acts on what it checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/checked_file.h"
#include "platform/files.h"
#include "platform/system_error.h"

namespace kalinor::platform {

/// The error a held folder gives for a link met on the way to an entry
/// (POSIX ELOOP, Windows ERROR_CANT_RESOLVE_FILENAME).
SystemError LinkOnTheWay();

/// How a held folder's atomic write treats a file already at the name.
enum class ExistingFile { kReplace, kKeep };

class HeldFolder {
 public:
  /// Not held.
  HeldFolder();
  ~HeldFolder();
  HeldFolder(HeldFolder&&) noexcept;
  HeldFolder& operator=(HeldFolder&&) noexcept;

  /// Resolves the folder's real path once and opens it without following a
  /// link there (POSIX: every component from the root down). A privileged
  /// run (root) follows no link on the way that the system did not make (one
  /// owned by root in a folder only root may write): such a link is refused
  /// (kIsLink, RefusedLink() names it). Not held (OpenError() says why) when
  /// path is "", not a folder, or cannot be opened that way.
  static HeldFolder Open(const std::wstring& path);

  /// The folder name in this one, held, opened without following a link
  /// there. Not held (OpenError() says why) otherwise.
  HeldFolder OpenFolder(const std::wstring& name) const;

  /// Creates the folder name in this one (kExists when anything lies there)
  /// with access's permissions, and holds it. Not held (OpenError() says
  /// why) otherwise.
  HeldFolder CreateFolder(const std::wstring& name,
                          FolderAccess access = FolderAccess::kDefault) const;

  /// Opens the file name in this folder as a checked file (checked_file.h);
  /// refused ("not held") when no folder is held.
  CheckedFile OpenChecked(const std::wstring& name, CheckedFileUse use) const;

  /// True when a folder is held.
  bool IsHeld() const { return handle_ != nullptr; }
  /// Why Open failed; no failure when held.
  SystemError OpenError() const { return openError_; }
  /// The link Open would not follow in a privileged run (one the system did
  /// not make, on the way to the folder); "" when it refused none.
  const std::wstring& RefusedLink() const { return refusedLink_; }
  /// The real path the folder was opened at, without a closing separator;
  /// "" when not held.
  const std::wstring& RealPath() const { return realPath_; }

  /// What lies at relative (names joined by kPathSeparator, each plain),
  /// seen without following a link on the way or at the end. kMissing when
  /// nothing is there, a folder on the way is a link, or it cannot be told.
  FileKind KindOf(const std::wstring& relative) const;

  /// Deletes the regular file, or the link itself, at relative; a folder is
  /// never deleted and a link on the way never followed. The cause on failure.
  [[nodiscard]] SystemError Delete(const std::wstring& relative) const;

  /// Moves the regular file at relative to name in destination without ever
  /// replacing a file there; across file systems by a flushed copy, then the
  /// delete (the copy removed again when the delete fails). The cause on
  /// failure; nothing moved then.
  [[nodiscard]] SystemError MoveTo(const std::wstring& relative, const HeldFolder& destination,
                                   const std::wstring& name) const;

  /// Reads the regular file at relative whole, never following a link and
  /// never waiting for a writer (a FIFO or device is refused). The cause on
  /// failure (bytes then empty), also for a file over max_bytes (EFBIG or
  /// ERROR_FILE_TOO_LARGE).
  [[nodiscard]] SystemError ReadWhole(const std::wstring& relative, std::string& bytes,
                                      std::size_t max_bytes = kWholeFileReadLimit) const;

  /// Writes bytes as the whole content of the plain file name in this
  /// folder: a new temporary file here, flushed, then renamed over name
  /// (kReplace: the new file keeps the old one's owner and permissions where
  /// the system lets it; a folder or link at name is never replaced) or
  /// into a free name only (kKeep). On failure the old file is whole and the
  /// temporary file gone.
  [[nodiscard]] SystemError WriteAtomically(const std::wstring& name, std::string_view bytes,
                                            ExistingFile existing) const;

  struct Handle;  // the platform's held handle

 private:
  /// The folder name below this one, created first when access is given.
  HeldFolder HoldBelow(const std::wstring& name, std::optional<FolderAccess> create) const;

  std::unique_ptr<Handle> handle_;
  std::wstring realPath_;
  SystemError openError_;
  std::wstring refusedLink_;
};

}  // namespace kalinor::platform
