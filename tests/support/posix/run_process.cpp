#include "support/run_process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>

namespace kalinor::testing {

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& environment) {
  ProcessResult result;
  int pipeEnds[2];
  // Close-on-exec, so a child started at the same time by another thread
  // does not hold this pipe open.
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return result;

  std::vector<std::string> envText;
  for (const auto& [name, value] : environment) envText.push_back(name + "=" + value);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& entry : envText) envp.push_back(entry.data());
  envp.push_back(nullptr);

  // Standard error goes to an anonymous file, read back once the child ends:
  // a second pipe could fill while the first one is read.
  const int errorFile = open(P_tmpdir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  if (errorFile >= 0) posix_spawn_file_actions_adddup2(&actions, errorFile, STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  pid_t child = 0;
  const int spawned =
      posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (spawned != 0) {
    close(pipeEnds[0]);
    if (errorFile >= 0) close(errorFile);
    return result;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
    if (n > 0) {
      result.standardOutput.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(pipeEnds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (errorFile >= 0) {
    for (off_t at = 0;;) {
      const ssize_t n = pread(errorFile, buffer, sizeof buffer, at);
      if (n <= 0) break;
      result.standardError.append(buffer, static_cast<size_t>(n));
      at += n;
    }
    close(errorFile);
  }
  return result;
}

}  // namespace kalinor::testing
