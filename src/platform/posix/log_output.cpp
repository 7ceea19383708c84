#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/log_output.h"
#include "platform/posix/scoped_handles.h"
#include "platform/text.h"

namespace kalinor::platform {

bool AppendLineToFile(const std::wstring& path, std::wstring_view line) {
  if (path.empty() || path.find(L'\0') != std::wstring::npos) return false;
  // Non-blocking: a named pipe without reader fails the open instead of
  // holding the run up.
  FileDescriptor file(::open(ToUtf8(path).c_str(),
                             O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                             0644));
  if (!file.IsValid()) return false;
  const std::string bytes = ToUtf8(line) + '\n';
  // One write of the whole line: O_APPEND places it at the end in one piece.
  ssize_t written;
  do {
    written = ::write(file.Get(), bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(bytes.size()) && file.Close();
}

}  // namespace kalinor::platform
