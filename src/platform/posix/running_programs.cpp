// The POSIX process list is /proc: a process's name (its "comm", which the
// kernel cuts to 15 bytes) or its executable's base name, and its session.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/posix/scoped_handles.h"
#include "platform/running_programs.h"
#include "platform/text.h"

namespace kalinor::platform {

namespace {

constexpr std::size_t kCommBytes = 15;

// The first line of a small /proc file; "" when it cannot be read.
std::string ReadProcLine(const std::string& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.IsValid()) return {};
  char buffer[256];
  const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
  if (got <= 0) return {};
  std::string line(buffer, static_cast<std::size_t>(got));
  return line.substr(0, line.find('\n'));
}

std::string ExecutableBaseName(const std::string& proc_folder) {
  char target[4096];
  const ssize_t length = ::readlink((proc_folder + "/exe").c_str(), target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return {};
  return ToUtf8(SplitPath(FromUtf8(std::string(target, static_cast<std::size_t>(length)))).Name);
}

bool SameName(const std::string& found, const std::wstring& lowered) {
  return !found.empty() && AsciiLower(FromUtf8(found)) == lowered;
}

// A process's name or executable names it. A name longer than "comm" holds
// is matched by the executable alone.
bool ProcessIsNamed(const std::string& proc_folder, const std::wstring& lowered,
                    std::size_t name_bytes) {
  if (name_bytes <= kCommBytes && SameName(ReadProcLine(proc_folder + "/comm"), lowered))
    return true;
  return SameName(ExecutableBaseName(proc_folder), lowered);
}

// A /proc entry's process id; 0 for the entries that are no process.
pid_t ProcessIdOf(const char* entry) {
  char* end = nullptr;
  const long pid = std::strtol(entry, &end, 10);
  return end != entry && *end == '\0' && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

struct DirectoryCloser {
  void operator()(DIR* directory) const { ::closedir(directory); }
};

}  // namespace

bool IsProgramRunningInSession(const std::wstring& executable_name) {
  if (executable_name.empty()) return false;
  const std::unique_ptr<DIR, DirectoryCloser> proc(::opendir("/proc"));
  if (!proc) return false;
  const pid_t session = ::getsid(0);
  const std::wstring lowered = AsciiLower(executable_name);
  const std::size_t name_bytes = ToUtf8(executable_name).size();
  while (const dirent* entry = ::readdir(proc.get())) {
    const pid_t pid = ProcessIdOf(entry->d_name);
    if (pid == 0 || ::getsid(pid) != session) continue;
    if (ProcessIsNamed(std::string("/proc/") + entry->d_name, lowered, name_bytes)) return true;
  }
  return false;
}

}  // namespace kalinor::platform
