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

ExclusiveFileLock::ExclusiveFileLock(const std::wstring& path) : m_handle(-1) {
  const int fd = ::open(ToUtf8(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  m_handle = fd;
  int result;
  do {
    result = ::flock(fd, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  m_locked = result == 0;
}

ExclusiveFileLock::~ExclusiveFileLock() {
  if (m_handle < 0) return;
  const int fd = static_cast<int>(m_handle);
  if (m_locked) ::flock(fd, LOCK_UN);
  ::close(fd);
}

}  // namespace kalinor::platform
