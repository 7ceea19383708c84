// flock, not fcntl: flock locks belong to the open file, so two threads that
// open the lock file separately exclude each other as two processes do;
// fcntl locks belong to the process and would not.
#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files_os.h"
#include "platform/posix/scoped_handles.h"
#include "platform/text.h"

namespace kalinor::platform {

LockedFileTraits::Handle LockedFileTraits::Invalid() noexcept { return -1; }

bool LockedFileTraits::IsValid(Handle handle) noexcept { return handle >= 0; }

bool LockedFileTraits::Close(Handle handle) noexcept {
  const int fd = static_cast<int>(handle);
  ::flock(fd, LOCK_UN);
  return ::close(fd) == 0;
}

ExclusiveFileLock::ExclusiveFileLock(const std::wstring& path) {
  if (!os::IsUsablePath(path)) return;
  FileDescriptor file(::open(ToUtf8(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!file.IsValid()) return;
  int result;
  do {
    result = ::flock(file.Get(), LOCK_EX);
  } while (result != 0 && errno == EINTR);
  if (result == 0) m_file.Reset(file.Detach());
}

}  // namespace kalinor::platform
