// The cause of a failed act on the file system, as the system gave it: what
// every platform operation that creates, reads, writes, renames, deletes or
// opens a file returns instead of a bare success flag.
#pragma once

#include <string>

namespace kalinor::platform {

/// The cause of a failed file operation: the system's own error number
/// (errno on POSIX, a Win32 error code on Windows); 0 for success. A result
/// that must be read: the compiler warns where one is dropped.
struct [[nodiscard]] SystemError {
  unsigned long Code = 0;
  bool Failed() const { return Code != 0; }
};

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

/// "<the system's message>, <number>": "Permission denied, errno 13" on
/// POSIX, "Access is denied, 0X80070005" on Windows (the HRESULT form).
std::wstring DescribeSystemError(SystemError error);

}  // namespace kalinor::platform
