// The portable parts of the file services: temporary names, the
// write-flush-rename sequence and the folder walk, over the OS steps of
// files_os.h.
#include "platform/files.h"

#include <atomic>

#include "platform/files_os.h"

namespace kalinor::platform {

namespace {

// A name that another writer took between TemporarySiblingPath and the
// create is replaced by a new one, a few times at the most.
constexpr int kTemporaryNameAttempts = 10;

}  // namespace

namespace os {

bool IsUsablePath(const std::wstring& path) {
  return !path.empty() && path.find(L'\0') == std::wstring::npos;
}

}  // namespace os

std::wstring TemporarySiblingPath(const std::wstring& path) {
  // The whole path plus a suffix keeps the file in the same folder, and so
  // on the same file system, which the rename over path needs.
  static std::atomic<unsigned> counter{0};
  const std::wstring stem = path + L"." + std::to_wstring(os::CurrentProcessId()) + L"-";
  std::wstring candidate;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    candidate = stem + std::to_wstring(counter++) + L".tmp";
    if (!PathExists(candidate)) break;
  }
  return candidate;
}

bool ReplaceFileWith(const std::wstring& written, const std::wstring& target) {
  // The content must be on disk before the name points at it, or a crash
  // right after the rename could leave an empty file behind.
  return os::IsUsablePath(written) && os::IsUsablePath(target) && os::FlushFileAt(written) &&
         os::RenameOver(written, target);
}

bool WriteFileAtomically(const std::wstring& path, std::string_view bytes) {
  if (!os::IsUsablePath(path)) return false;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::wstring temporary = TemporarySiblingPath(path);
    switch (os::WriteNewFile(temporary, path, bytes)) {
      case os::NewFileResult::kNameTaken:
        continue;
      case os::NewFileResult::kFailed:
        return false;
      case os::NewFileResult::kWritten:
        break;
    }
    if (os::RenameOver(temporary, path)) return true;
    DeleteFileAt(temporary);
    return false;
  }
  return false;
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

bool CreateFolderWithParents(const std::wstring& path, FolderAccess access) {
  for (const std::wstring& prefix : FolderPathPrefixes(path)) {
    if (PathExists(prefix)) continue;
    // A folder that appeared meanwhile (another process made it) counts as made.
    if (!CreateFolder(prefix, access) && !PathExists(prefix)) return false;
  }
  return true;
}

}  // namespace kalinor::platform
