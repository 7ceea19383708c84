#include "support/background_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/files.h"
#include "platform/text.h"

extern char** environ;

namespace kalinor::testing {

struct BackgroundProcess::State {
  pid_t pid = 0;
};

BackgroundProcess::BackgroundProcess(const std::wstring& program)
    : state_(std::make_unique<State>()) {
  const std::string path = platform::ToUtf8(program);
  char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) == 0) state_->pid = pid;
}

BackgroundProcess::~BackgroundProcess() { Stop(); }

bool BackgroundProcess::Started() const { return state_->pid != 0; }

void BackgroundProcess::Stop() {
  if (state_->pid == 0) return;
  kill(state_->pid, SIGKILL);
  // Reaped, so that /proc no longer lists it.
  while (waitpid(state_->pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  state_->pid = 0;
}

std::wstring BesideThisTest(const std::wstring& name) {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return {};
  const std::string exe(path, static_cast<std::size_t>(length));
  return platform::JoinPath(platform::ParentFolder(platform::FromUtf8(exe)), name);
}

}  // namespace kalinor::testing
