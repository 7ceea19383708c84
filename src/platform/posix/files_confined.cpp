// The file-status and real-path services that confine what the
// uninstall may touch, over POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/files.h"
#include "platform/files_os.h"
#include "platform/text.h"

namespace kalinor::platform {

namespace {

// realpath(3) of an existing path; "" when it cannot be resolved.
std::wstring ResolvedPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       &std::free);
  return resolved ? FromUtf8(resolved.get()) : std::wstring();
}

}  // namespace

FileKind QueryFileKind(const std::wstring& path) {
  struct stat status {};
  if (!os::IsUsablePath(path) || ::lstat(ToUtf8(path).c_str(), &status) != 0)
    return FileKind::kMissing;
  if (S_ISREG(status.st_mode)) return FileKind::kRegularFile;
  if (S_ISDIR(status.st_mode)) return FileKind::kFolder;
  if (S_ISLNK(status.st_mode)) return FileKind::kLink;
  return FileKind::kOther;
}

std::wstring RealPathOf(const std::wstring& path) {
  if (QueryFileKind(path) == FileKind::kMissing) return {};
  const PathParts parts = SplitPath(path);
  // A folder named by "." or ".." (or a trailing slash) is resolved whole.
  if (parts.Name.empty() || parts.Name == L"." || parts.Name == L"..")
    return ResolvedPath(ToUtf8(path));
  // The last part stays as it is, so that a link there is not followed.
  const std::wstring folder = ResolvedPath(parts.Folder.empty() ? "." : ToUtf8(parts.Folder));
  if (folder.empty()) return {};
  return JoinPath(folder, parts.Name);
}

std::wstring PathComparisonKey(const std::wstring& path) { return path; }

}  // namespace kalinor::platform
