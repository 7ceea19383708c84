// The portable parts of the file services: temporary names, the
// write-flush-rename sequence, the copy placed whole and the folder walk, over the OS steps of
// files_os.h.
#include "platform/files.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <random>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/files_os.h"
#include "platform/held_folder.h"
#include "platform/text.h"

namespace kalinor::platform {

namespace {

// The suffix of every temporary file name TemporaryNameFor makes.
constexpr wchar_t kTemporarySuffix[] = L".tmp";

// The value of text when it is one to ten decimal digits; nullopt otherwise.
std::optional<std::uint64_t> DecimalValue(std::wstring_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - L'0');
  }
  return value;
}

bool IsPrintableAscii(const std::wstring& name) {
  for (const wchar_t c : name)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

// Windows opens a device, not a file, for these stems with any extension.
bool IsDeviceName(std::wstring_view lowerName) {
  std::wstring_view stem = lowerName.substr(0, lowerName.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
  for (const std::wstring_view device : {L"con", L"prn", L"aux", L"nul"})
    if (stem == device) return true;
  const std::wstring_view port = stem.substr(0, 3);
  return stem.size() == 4 && (port == L"com" || port == L"lpt") && stem[3] >= L'0' &&
         stem[3] <= L'9';
}

// A name that every file system and Windows' path rules take as it stands:
// Windows drops a trailing dot or blank, reads ':' as a stream and opens
// devices by name.
bool IsPlainEntryName(const std::wstring& lowerName) {
  if (lowerName.empty() || lowerName == L"." || lowerName == L"..") return false;
  if (lowerName.back() == L'.' || lowerName.back() == L' ') return false;
  for (const wchar_t c : lowerName) {
    const bool alphanumeric = (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
    if (!alphanumeric && std::wstring_view(L" -_.~{}()+").find(c) == std::wstring_view::npos)
      return false;
  }
  return !IsDeviceName(lowerName);
}

}  // namespace

bool IsPlainFileName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  if (name.back() == L'.' || name.back() == L' ') return false;
  for (const wchar_t c : name)
    if (c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos)
      return false;
  return !IsDeviceName(AsciiLower(name));
}

std::wstring LastPathPart(const std::wstring& path) {
  return SplitPath(path, PathSeparators::kNativeOnly).Name;
}

PathParts SplitPath(const std::wstring& path, PathSeparators separators) {
  const std::size_t separator = separators == PathSeparators::kAny
                                    ? path.find_last_of(std::wstring{kPathSeparator, L'/'})
                                    : path.rfind(kPathSeparator);
  if (separator == std::wstring::npos) return {L"", path};
  return {path.substr(0, separator == 0 ? 1 : separator), path.substr(separator + 1)};
}

std::wstring ParentFolder(const std::wstring& path) { return SplitPath(path).Folder; }

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return name;
  const bool closed = folder.back() == kPathSeparator || folder.back() == L'/';
  return closed ? folder + name : folder + kPathSeparator + name;
}

bool NamesAnotherMachineOrDevice(const std::wstring& path) {
  const auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) return true;
  if (path.rfind(L"\\??\\", 0) == 0) return true;
  const bool drive = path.size() >= 2 && path[1] == L':' &&
                     ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  return path.find(L':', drive ? 2 : 0) != std::wstring::npos;
}

std::optional<std::wstring> LocalFormOfLongPath(const std::wstring& path) {
  constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
  if (kPathSeparator != L'\\' || path.rfind(kLongPrefix, 0) != 0) return std::nullopt;
  const std::wstring local = path.substr(kLongPrefix.size());
  const bool drive =
      local.size() >= 3 && local[1] == L':' && local[2] == L'\\' &&
      ((local[0] >= L'A' && local[0] <= L'Z') || (local[0] >= L'a' && local[0] <= L'z'));
  // Past 260 characters the plain form names nothing the file calls can
  // reach: such a path stays refused, and its store listed.
  constexpr std::size_t kMaxPlainPath = 260;
  if (!drive || local.size() >= kMaxPlainPath || local.find(L'/') != std::wstring::npos)
    return std::nullopt;
  for (std::size_t from = 3; from < local.size();) {
    const std::size_t end = std::min(local.find(L'\\', from), local.size());
    // A device name ("COM1.pst") or a trailing dot or blank: not the same
    // path without the prefix.
    if (!IsPlainFileName(local.substr(from, end - from))) return std::nullopt;
    from = end + 1;
  }
  return local;
}

FolderListing::FolderListing(const std::wstring& folder) {
  const std::optional<std::vector<std::wstring>> names = os::FolderEntryNames(folder);
  if (!names) return;
  std::unordered_set<std::wstring> lowerNames;
  for (const std::wstring& name : *names) {
    if (!IsPrintableAscii(name)) return;
    lowerNames.insert(AsciiLower(name));
  }
  names_ = std::move(lowerNames);
}

bool FolderListing::CertainlyLacks(const std::wstring& name) const {
  if (!names_) return false;
  const std::wstring key = AsciiLower(name);
  return IsPlainEntryName(key) && names_->count(key) == 0;
}

namespace os {

namespace {

// The writer's process id in a name TemporaryNameFor made for the file
// named file_name ("<file_name>.<pid>-<n>.tmp"), compared as the file system
// compares names. nullopt for any other name.
std::optional<unsigned long> TemporaryWriterOf(const std::wstring& name,
                                               const std::wstring& file_name) {
  const std::wstring key = PathComparisonKey(name);
  const std::wstring stem = PathComparisonKey(file_name + L".");
  const std::wstring suffix = PathComparisonKey(kTemporarySuffix);
  if (key.size() <= stem.size() + suffix.size() || key.compare(0, stem.size(), stem) != 0 ||
      key.compare(key.size() - suffix.size(), suffix.size(), suffix) != 0)
    return std::nullopt;
  const std::wstring_view middle =
      std::wstring_view(key).substr(stem.size(), key.size() - stem.size() - suffix.size());
  const std::size_t dash = middle.find(L'-');
  if (dash == std::wstring_view::npos) return std::nullopt;
  const std::optional<std::uint64_t> writer = DecimalValue(middle.substr(0, dash));
  if (!writer || *writer > ULONG_MAX || !DecimalValue(middle.substr(dash + 1))) return std::nullopt;
  return static_cast<unsigned long>(*writer);
}

}  // namespace

std::wstring TemporaryNameFor(const std::wstring& file_name) {
  // Unpredictable, so that no one can plant the next name ahead of a save.
  static std::mutex guard;
  static std::mt19937_64 random{std::random_device{}()};
  std::uint64_t draw;
  {
    const std::lock_guard<std::mutex> lock(guard);
    draw = random() % 10000000000ULL;  // ten digits, as a leftover's name is read
  }
  return file_name + L"." + std::to_wstring(CurrentProcessId()) + L"-" + std::to_wstring(draw) +
         kTemporarySuffix;
}

bool IsLeftoverTemporaryOf(const std::wstring& name, const std::wstring& file_name) {
  const std::optional<unsigned long> writer = TemporaryWriterOf(name, file_name);
  return writer && *writer != CurrentProcessId() && IsProcessGone(*writer);
}

std::optional<std::vector<std::wstring>> RelativeNames(const std::wstring& relative) {
  if (!IsUsablePath(relative)) return std::nullopt;
  std::vector<std::wstring> names;
  for (std::size_t from = 0;;) {
    const std::size_t separator = relative.find(kPathSeparator, from);
    std::wstring name = relative.substr(from, separator - from);
    if (name.empty() || name == L"." || name == L".." || name.find(L':') != std::wstring::npos)
      return std::nullopt;
    names.push_back(std::move(name));
    if (separator == std::wstring::npos) return names;
    from = separator + 1;
  }
}

bool IsUsablePath(const std::wstring& path) {
  return !path.empty() && path.find(L'\0') == std::wstring::npos;
}

}  // namespace os

SystemError WriteFileAtomically(const std::wstring& path, std::string_view bytes) {
  if (!os::IsUsablePath(path)) return UnusablePathError();
  const PathParts parts = SplitPath(path, PathSeparators::kNativeOnly);
  const HeldFolder folder = HeldFolder::Open(parts.Folder.empty() ? L"." : parts.Folder);
  if (!folder.IsHeld()) return folder.OpenError();
  return folder.WriteAtomically(parts.Name, bytes, ExistingFile::kReplace);
}

std::vector<std::wstring> FolderPathPrefixes(const std::wstring& path) {
  std::wstring walked = path;
  if (walked.empty() || walked.back() != kPathSeparator) walked += kPathSeparator;
  std::vector<std::wstring> prefixes;
  if (walked.size() <= 2) return prefixes;

  std::size_t from = 2;  // past a drive ("C:") or the POSIX root
  if (walked[0] == kPathSeparator && walked[1] == kPathSeparator) {
    // A UNC root (\\server\share) cannot be created and does not answer an
    // existence test as a folder does: the walk starts below it.
    std::size_t server_end = walked.find(kPathSeparator, 2);
    std::size_t share_end = server_end == std::wstring::npos
                                ? std::wstring::npos
                                : walked.find(kPathSeparator, server_end + 1);
    if (share_end == std::wstring::npos) return prefixes;
    from = share_end + 1;
  }
  for (std::size_t at = walked.find(kPathSeparator, from); at != std::wstring::npos;
       at = walked.find(kPathSeparator, at + 1))
    prefixes.push_back(walked.substr(0, at));
  return prefixes;
}

SystemError CreateFolderWithParents(const std::wstring& path, FolderAccess access) {
  const std::vector<std::wstring> prefixes = FolderPathPrefixes(path);
  std::size_t existing = prefixes.size();
  while (existing > 0 && !PathExists(prefixes[existing - 1])) --existing;
  if (existing == prefixes.size()) return {};
  // Made below the deepest folder that exists, held, one name at a time: a
  // link planted on the way meanwhile is never followed. A bare drive ("C:")
  // would name the drive's current folder: its root is meant.
  std::wstring base = existing > 0 ? prefixes[existing - 1] : ParentFolder(prefixes.front());
  if (base.empty())
    base = L".";  // a relative path's first folder is the current folder's
  else if (base.back() == L':')
    base += kPathSeparator;
  HeldFolder folder = HeldFolder::Open(base);
  for (std::size_t i = existing; folder.IsHeld() && i < prefixes.size(); ++i) {
    const std::wstring name = LastPathPart(prefixes[i]);
    HeldFolder made = folder.CreateFolder(name, access);
    // One that another process made meanwhile counts as made.
    if (!made.IsHeld() && made.OpenError().Kind() == ErrorKind::kExists)
      made = folder.OpenFolder(name);
    folder = std::move(made);
  }
  return folder.OpenError();
}

}  // namespace kalinor::platform
