#include "platform/checked_file.h"
#include "platform/held_folder_os.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/posix/fs_identity.h"
#include "platform/text.h"

namespace kalinor::platform {
namespace {

int AccessFlags(CheckedFileUse use) {
  switch (use) {
    case CheckedFileUse::kAppend:
      return O_WRONLY | O_APPEND;
    case CheckedFileUse::kLock:
      return O_RDWR;
    case CheckedFileUse::kExistingLock:
      break;
  }
  return O_RDONLY;
}

std::wstring ErrorText(int error) {
  return DescribeSystemError(SystemError{static_cast<unsigned long>(error)});
}

// Why what fd refers to may not be used; "" when it may.
std::wstring RefusalOf(int fd, bool created) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return ErrorText(errno);
  if (!S_ISREG(status.st_mode)) return L"not a regular file";
  if (status.st_nlink != 1)
    return FormatText(L"%lu links", static_cast<unsigned long>(status.st_nlink));
  if (!created && status.st_uid != CurrentFsUid()) return L"owned by another account";
  return {};
}

// Where a root run may keep a checked file in folder: as the account it
// acts as already, or as root in a folder of root's (nullopt); in another
// account's folder as that account (the folder's status, which names it). A
// log (an appended file, whose lines end in text others chose) is refused,
// with refusal set, in a folder of root's that others may change.
std::optional<struct stat> PrivilegedOwnerOf(int folder, CheckedFileUse use,
                                             std::wstring& refusal) {
  struct stat status {};
  if (::geteuid() != 0) return std::nullopt;
  // Acting as an account already: the system checks each act as that one's.
  if (CurrentFsUid() != 0) return std::nullopt;
  if (::fstat(folder, &status) != 0) {
    refusal = ErrorText(errno);
    return std::nullopt;
  }
  if (status.st_uid != 0) return status;
  if (use == CheckedFileUse::kAppend && (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    refusal =
        L"in a folder other accounts may change, where a root run keeps no log: choose "
        L"a folder only root may change, or one of the account's own";
  return std::nullopt;
}

}  // namespace

NativeFileTraits::Handle NativeFileTraits::Invalid() noexcept { return -1; }

bool NativeFileTraits::IsValid(Handle handle) noexcept { return handle >= 0; }

bool NativeFileTraits::Close(Handle handle) noexcept {
  return ::close(static_cast<int>(handle)) == 0;
}

namespace os {

CheckedFile OpenCheckedFileIn(Native folder, const std::wstring& name, CheckedFileUse use) {
  CheckedFile result;
  const std::string bytes = ToUtf8(name);
  const int at = static_cast<int>(folder);
  const std::optional<struct stat> owner = PrivilegedOwnerOf(at, use, result.Refusal);
  if (!result.Refusal.empty()) return result;
  std::optional<FsIdentitySwitch> asOwner;
  if (owner) {
    asOwner.emplace(owner->st_uid, owner->st_gid);
    if (!asOwner->Taken()) {
      result.Refusal = L"not opened as the folder's owner, whose identity could not be taken";
      return result;
    }
  }
  // O_NONBLOCK: a FIFO in the file's place fails or returns at once instead
  // of waiting for a peer for ever.
  const int flags = AccessFlags(use) | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
  int fd = -1;
  if (use != CheckedFileUse::kExistingLock) {
    fd = ::openat(at, bytes.c_str(), flags | O_CREAT | O_EXCL, 0644);
    if (fd < 0 && errno != EEXIST) {
      result.Refusal = ErrorText(errno);
      return result;
    }
    result.Created = fd >= 0;
  }
  if (fd < 0) fd = ::openat(at, bytes.c_str(), flags);
  if (fd < 0) {
    const int error = errno;
    if (error == ELOOP) {
      result.Refusal = L"a link";
    } else if (error == ENOENT && use == CheckedFileUse::kExistingLock) {
      result.Missing = true;
    } else {
      result.Refusal = ErrorText(error);
    }
    return result;
  }
  result.File.Reset(fd);
  result.Refusal = RefusalOf(fd, result.Created);
  if (!result.Refusal.empty()) {
    result.File.Reset();
    result.Created = false;
  }
  return result;
}

}  // namespace os

SystemError AppendToCheckedFile(std::intptr_t file, std::string_view bytes) {
  ssize_t written;
  do {
    written = ::write(static_cast<int>(file), bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0) return LastSystemError();
  if (written != static_cast<ssize_t>(bytes.size())) return SystemError{EIO};
  return {};
}

}  // namespace kalinor::platform
