// flock, not fcntl: flock locks belong to the open file, so two threads that
// open the lock file separately exclude each other as two processes do;
// fcntl locks belong to the process and would not.
#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/text.h"

namespace kalinor::platform {

LockedFileTraits::Handle LockedFileTraits::Invalid() noexcept { return -1; }

bool LockedFileTraits::IsValid(Handle handle) noexcept { return handle >= 0; }

bool LockedFileTraits::Close(Handle handle) noexcept {
  const int fd = static_cast<int>(handle);
  ::flock(fd, LOCK_UN);  // nothing to undo on a file that was never locked
  return ::close(fd) == 0;
}

ExclusiveFileLock::Attempt ExclusiveFileLock::TryLock(LockedFileTraits::Handle file) {
  int result;
  do {
    result = ::flock(static_cast<int>(file), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return Attempt::kLocked;
  return errno == EWOULDBLOCK ? Attempt::kTaken : Attempt::kFailed;
}

}  // namespace kalinor::platform
