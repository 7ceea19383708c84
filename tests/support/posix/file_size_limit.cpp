// RLIMIT_FSIZE makes a write past the limit fail with EFBIG, as a full disk
// fails it with ENOSPC, and it holds for root too.
#include "support/file_size_limit.h"

#include <signal.h>
#include <sys/resource.h>

namespace kalinor::testing {

namespace {
struct sigaction g_previousAction;
}

FileSizeLimit::FileSizeLimit(std::uint64_t bytes) {
  rlimit limit;
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
  m_previous = limit.rlim_cur;
  // Without this the write raises SIGXFSZ, which ends the process.
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  if (sigaction(SIGXFSZ, &ignore, &g_previousAction) != 0) return;
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
    sigaction(SIGXFSZ, &g_previousAction, nullptr);
    return;
  }
  m_active = true;
}

FileSizeLimit::~FileSizeLimit() {
  if (!m_active) return;
  rlimit limit;
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(m_previous);
  setrlimit(RLIMIT_FSIZE, &limit);
  sigaction(SIGXFSZ, &g_previousAction, nullptr);
}

}  // namespace kalinor::testing
