// A file the run keeps open on its own account (the run log, the
// debugger-output file, a lock file): opened once, without following a link,
// and kept only when what was opened is a regular file with one link (POSIX:
// also owned by the running account, or created by this open). A link or a
// second name planted at the path by another account is refused, never
// written through.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/native_file.h"
#include "platform/system_error.h"

namespace kalinor::platform {

/// What the file is opened for.
enum class CheckedFileUse {
  kAppend,        // append-only writes; created when missing
  kLock,          // reading and writing; created when missing
  kExistingLock,  // reading only; never created
};

/// The outcome of OpenCheckedFile.
struct CheckedFile {
  NativeFile File;       // empty when refused or missing
  bool Created = false;  // this open created the file
  bool Missing = false;  // kExistingLock: no file at the path (no refusal)
  /// Why the file was refused, as "a link", "not a regular file", "2 links",
  /// "owned by another account", or the system's error; "" when opened or missing.
  std::wstring Refusal;
};

/// Opens the file at path for use. It is first created exclusively (so that
/// Created tells whether this run made it), else an existing one is opened;
/// neither open follows a link at the last component (POSIX O_NOFOLLOW,
/// Windows FILE_FLAG_OPEN_REPARSE_POINT). Never blocks on a FIFO. On any
/// refusal the file is closed again and left as it was.
CheckedFile OpenCheckedFile(const std::wstring& path, CheckedFileUse use);

/// Writes bytes at the end of a file opened for kAppend, in one write so that
/// another process's lines never fall inside it. The cause when not all of
/// it was written (a short write without one: EIO, ERROR_WRITE_FAULT).
SystemError AppendToCheckedFile(std::intptr_t file, std::string_view bytes);

}  // namespace kalinor::platform
