// The POSIX build has one bitness, so no twin; a program is still run in this
// one's place over posix_spawn, as the Windows build runs its twin.
#include "platform/twin_build.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/text.h"

extern char** environ;

namespace kalinor::platform {

const wchar_t* TwinBuildName() { return L""; }

std::wstring TwinBuildPath() { return {}; }

bool TwinIsSafeToRun(const std::wstring&) { return false; }  // there is none

std::optional<int> RunInThisOnesPlace(const std::wstring& program,
                                      const std::vector<std::wstring>& args, SystemError& error) {
  std::vector<std::string> texts{ToUtf8(program)};
  for (const std::wstring& arg : args) texts.push_back(ToUtf8(arg));
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  if (const int failed =
          ::posix_spawn(&child, texts[0].c_str(), nullptr, nullptr, argv.data(), environ);
      failed != 0) {
    error = SystemError{static_cast<unsigned long>(failed)};
    return std::nullopt;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      error = LastSystemError();
      return std::nullopt;
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace kalinor::platform
