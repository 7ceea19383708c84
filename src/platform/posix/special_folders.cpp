// The shell's per-user folders, mapped to their XDG counterparts. As with
// SHGetSpecialFolderPathW and its create flag, a folder that is missing is
// created (with its parents, private to the user as XDG asks).
#include <sys/stat.h>

#include <optional>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/special_folders.h"
#include "platform/text.h"

namespace kalinor::platform {

namespace {

std::wstring Home() {
  std::wstring home = GetEnvironmentVariableText(L"HOME");
  return IsAbsolutePath(home) ? home : std::wstring();
}

std::wstring ConfigHome() { return XdgBaseFolder(L"XDG_CONFIG_HOME", L".config"); }

// A folder carries no trailing separator (the root itself excepted).
std::wstring WithoutTrailingSeparators(std::wstring path) {
  while (path.size() > 1 && path.back() == L'/') path.pop_back();
  return path;
}

bool IsFolder(const std::wstring& path) {
  struct stat status {};
  return PathExists(path) && ::stat(ToUtf8(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The value of one `NAME="..."` line of user-dirs.dirs, with "$HOME" at its
// start replaced by the home folder and the shell's backslash escapes undone.
std::optional<std::wstring> UserDirsValue(std::wstring_view line, std::wstring_view name,
                                          const std::wstring& home) {
  while (!line.empty() && (line.front() == L' ' || line.front() == L'\t')) line.remove_prefix(1);
  if (line.substr(0, name.size()) != name || line.substr(name.size(), 2) != L"=\"")
    return std::nullopt;
  line.remove_prefix(name.size() + 2);
  std::wstring value;
  bool closed = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == L'"') {
      closed = true;
      break;
    }
    if (line[i] == L'\\' && i + 1 < line.size()) ++i;
    value.push_back(line[i]);
  }
  if (!closed) return std::nullopt;
  if (value.compare(0, 5, L"$HOME") == 0 && (value.size() == 5 || value[5] == L'/')) {
    if (home.empty()) return std::nullopt;
    value.replace(0, 5, home);
  }
  if (value.empty() || value.front() != L'/') return std::nullopt;  // only absolute paths count
  return value;
}

// XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs, as xdg-user-dirs writes it.
std::wstring UserDirsDocuments() {
  std::wstring config = ConfigHome();
  if (config.empty()) return {};
  // xdg-user-dirs writes a dozen lines; a file past 1 MiB is none of its.
  constexpr std::size_t kLargestUserDirsFile = 1024 * 1024;
  std::string bytes;
  if (ReadWholeFile(config + L"/user-dirs.dirs", bytes, kLargestUserDirsFile).Failed()) return {};

  std::wstring text = FromUtf8(bytes);
  std::wstring home = Home();
  std::wstring found;  // the last assignment wins, as when the shell sources the file
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    if (auto value = UserDirsValue(std::wstring_view(text).substr(start, end - start),
                                   L"XDG_DOCUMENTS_DIR", home))
      found = *value;
    start = end + 1;
  }
  return found;
}

std::wstring UnresolvedFolder(int csidl) {
  switch (csidl) {
    case kCsidlAppData:
      return ConfigHome();
    case kCsidlLocalAppData:
      return XdgBaseFolder(L"XDG_DATA_HOME", L".local/share");
    case kCsidlPersonal: {
      std::wstring documents = UserDirsDocuments();
      if (!documents.empty()) return documents;
      std::wstring home = Home();
      return home.empty() ? std::wstring() : home + L"/Documents";
    }
    case kCsidlProfile:
      return Home();
    default:
      return {};
  }
}

}  // namespace

std::wstring GetSpecialFolderPath(int csidl, SpecialFolderCreation creation) {
  std::wstring folder = WithoutTrailingSeparators(UnresolvedFolder(csidl));
  if (creation == SpecialFolderCreation::kNone)
    return folder.empty() || (PathExists(folder) && !IsFolder(folder)) ? std::wstring() : folder;
  // Private to the user, as XDG asks of the folders it names.
  if (folder.empty() || CreateFolderWithParents(folder, FolderAccess::kOwnerOnly).Failed() ||
      !IsFolder(folder))
    return {};
  return folder;
}

}  // namespace kalinor::platform
