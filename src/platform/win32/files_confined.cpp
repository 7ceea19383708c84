// The file-status and real-path services that confine what the
// uninstall may touch, over Win32 calls. Every query opens the entry itself
// (FILE_FLAG_OPEN_REPARSE_POINT), so that a link at the end is never followed.
#include <windows.h>

#include <vector>

#include "platform/files.h"
#include "platform/files_os.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {

namespace {

// The entry at a path (file or folder, a link itself), opened for a query.
FileHandle OpenEntry(const std::wstring& path, DWORD access) {
  if (!os::IsUsablePath(path)) return FileHandle();
  return FileHandle(CreateFileW(
      path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool IsLinkTag(DWORD tag) {
  return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

// GetFinalPathNameByHandleW's \\?\C:\x and \\?\UNC\server\share\x in the
// forms the rest of the program writes: C:\x and \\server\share\x.
std::wstring WithoutLongPathPrefix(std::wstring path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

}  // namespace

FileKind QueryFileKind(const std::wstring& path) {
  const FileHandle entry = OpenEntry(path, FILE_READ_ATTRIBUTES);
  if (!entry.IsValid()) return FileKind::kMissing;
  if (GetFileType(entry.Get()) != FILE_TYPE_DISK) return FileKind::kOther;
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!GetFileInformationByHandleEx(entry.Get(), FileAttributeTagInfo, &info, sizeof info))
    return FileKind::kMissing;
  if ((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLinkTag(info.ReparseTag))
    return FileKind::kLink;
  if ((info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::kFolder;
  if ((info.FileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) return FileKind::kOther;
  return FileKind::kRegularFile;
}

std::wstring RealPathOf(const std::wstring& path) {
  const FileHandle entry = OpenEntry(path, FILE_READ_ATTRIBUTES);
  if (!entry.IsValid()) return {};
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(entry.Get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < buffer.size()) return WithoutLongPathPrefix(std::wstring(buffer.data(), length));
    buffer.resize(length + 1);
  }
}

std::wstring PathComparisonKey(const std::wstring& path) {
  // NTFS compares names by upper-casing them with an invariant table.
  if (path.empty()) return path;
  std::wstring key(path.size(), L'\0');
  const int length = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.data(),
                                   static_cast<int>(path.size()), key.data(),
                                   static_cast<int>(key.size()), nullptr, nullptr, 0);
  return length == static_cast<int>(path.size()) ? key : path;
}

}  // namespace kalinor::platform
