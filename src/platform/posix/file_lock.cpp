// flock, not fcntl: flock locks belong to the open file, so two threads that
// open the lock file separately exclude each other as two processes do;
// fcntl locks belong to the process and would not.
#include "platform/file_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/text.h"

namespace kalinor::platform {

bool ExclusiveFileLock::Open(const std::wstring& path) {
  if (path.find(L'\0') != std::wstring::npos) return false;
  const int fd = ::open(ToUtf8(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return false;
  m_handle = fd;
  return true;
}

ExclusiveFileLock::Attempt ExclusiveFileLock::TryLock() {
  int result;
  do {
    result = ::flock(static_cast<int>(m_handle), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return Attempt::kLocked;
  return errno == EWOULDBLOCK ? Attempt::kTaken : Attempt::kFailed;
}

void ExclusiveFileLock::UnlockAndClose() {
  if (m_handle < 0) return;
  const int fd = static_cast<int>(m_handle);
  if (m_locked) ::flock(fd, LOCK_UN);
  ::close(fd);
}

}  // namespace kalinor::platform
