// The bounded wait for a lock: tries without blocking and pauses in between,
// a little longer each time, so that a lock kept by a stuck process ends the
// wait instead of hanging the tool.
#include "platform/file_lock.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "platform/checked_file.h"

namespace kalinor::platform {

ExclusiveFileLock::ExclusiveFileLock(const std::wstring& path, std::chrono::milliseconds timeout,
                                     LockFileUse use) {
  CheckedFile opened =
      OpenCheckedFile(path, use == LockFileUse::kExistingOnly ? CheckedFileUse::kExistingLock
                                                              : CheckedFileUse::kLock);
  m_missing = opened.Missing;
  m_refusal = std::move(opened.Refusal);
  ScopedHandle<LockedFileTraits> file(opened.File.Detach());
  if (!file.IsValid()) return;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  std::chrono::milliseconds pause(1);
  for (;;) {
    const Attempt attempt = TryLock(file.Get());
    if (attempt == Attempt::kLocked) m_file = std::move(file);
    if (attempt != Attempt::kTaken) return;
    const Clock::time_point now = Clock::now();
    if (now >= deadline) {
      m_timed_out = true;
      return;
    }
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

}  // namespace kalinor::platform
