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
  const std::string native = ToUtf8(path);
  const std::size_t slash = native.rfind('/');
  const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
  // A folder named by "." or ".." (or a trailing slash) is resolved whole.
  if (name.empty() || name == "." || name == "..") return ResolvedPath(native);
  // The last part stays as it is, so that a link there is not followed.
  const std::string parent =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : native.substr(0, slash));
  std::wstring folder = ResolvedPath(parent);
  if (folder.empty()) return {};
  if (folder.back() != L'/') folder += L'/';
  return folder + FromUtf8(name);
}

std::wstring PathComparisonKey(const std::wstring& path) { return path; }

}  // namespace kalinor::platform
