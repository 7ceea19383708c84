// The cause of a failed act on the file system, as the system gave it: what
// every platform operation that creates, reads, writes, renames, deletes or
// opens a file returns instead of a bare success flag.
#pragma once

#include <string>

namespace kalinor::platform {

/// What a failure means, the same on every system, so that portable code can
/// ask "not found?" without knowing the system's numbers.
enum class ErrorKind {
  kNone,      ///< no failure
  kNotFound,  ///< nothing at the name
  kExists,    ///< the name is taken
  kIsFolder,  ///< a folder where a file was wanted
  kIsLink,    ///< a link (symbolic link, junction, mount point) on the way or at the end
  kDenied,    ///< no access
  kBusy,      ///< another process holds it (a sharing or lock violation, a pending delete)
  kTooLarge,  ///< past a size bound
  kOther,     ///< anything else
};

/// The cause of a failed file operation: the system's own error number
/// (errno on POSIX, a Win32 error code on Windows), 0 for success, and for
/// an act of several steps the step that failed. A result that must be
/// read: the compiler warns where one is dropped.
struct [[nodiscard]] SystemError {
  unsigned long Code = 0;
  /// The step that failed ("renaming over the old file"); static text, or
  /// null when the act has one step only.
  const wchar_t* Step = nullptr;

  bool Failed() const { return Code != 0; }
  /// The portable meaning of Code; kNone for success.
  ErrorKind Kind() const;
  /// This failure, named as having happened at step (unless it names a step
  /// already); success stays success.
  SystemError At(const wchar_t* step) const {
    return {Code, Failed() && Step == nullptr ? step : Step};
  }
};

/// The system's own number for a failure of the given kind (ENOENT,
/// ERROR_FILE_NOT_FOUND; ...), for portable code that must make one; 0 for
/// kNone; for kOther, "not a file this act takes" (EINVAL,
/// ERROR_INVALID_FUNCTION): a device, a pipe or a socket.
SystemError ErrorOfKind(ErrorKind kind);

/// The calling thread's last system error (errno, GetLastError()); a generic
/// I/O error (EIO, ERROR_GEN_FAILURE) when the system left none, so that a
/// failure never reads as success.
SystemError LastSystemError();

/// The error for a path that names no file at all: "" or a NUL inside
/// (EINVAL, ERROR_INVALID_NAME).
SystemError UnusablePathError();

/// The error for an act on a file or folder that is not open (EBADF,
/// ERROR_INVALID_HANDLE).
SystemError NotOpenError();

/// The error for a file that has more than one name (a hard link), refused
/// where only the folder's own file may be used (EMLINK,
/// ERROR_TOO_MANY_LINKS).
SystemError SeveralNamesError();

/// "<the system's message>, <number>": "Permission denied, errno 13" on
/// POSIX, "Access is denied, 0X80070005" on Windows (the HRESULT form),
/// after "<step>: " where the failure names its step. The one text for a
/// system error everywhere.
std::wstring DescribeSystemError(SystemError error);

}  // namespace kalinor::platform
