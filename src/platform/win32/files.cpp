// File operations over the Win32 calls whose behaviour the callers are
// written against: MoveFileW never replaces and crosses volumes by copy and
// delete, CopyFileW can refuse an existing destination, DeleteFileW removes
// files only.
#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <cstdint>

#include "platform/files.h"

namespace kalinor::platform {

extern const wchar_t kPathSeparator = L'\\';

namespace {

// A path the wide calls can take: not empty, and without a NUL inside (which
// c_str() would silently cut short).
bool Usable(const std::wstring& path) {
  return !path.empty() && path.find(L'\0') == std::wstring::npos;
}

// Closes a file handle when it leaves scope.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  // Closes now and reports whether the close succeeded.
  bool Close() {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle == INVALID_HANDLE_VALUE || CloseHandle(handle) != FALSE;
  }

 private:
  HANDLE handle_;
};

// WriteFile takes at most a DWORD per call.
bool WriteAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

}  // namespace

bool PathExists(const std::wstring& path) {
  return Usable(path) && PathFileExistsW(path.c_str()) != FALSE;
}

bool CreateFolder(const std::wstring& path) {
  return Usable(path) && CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to, bool fail_if_exists) {
  return Usable(from) && Usable(to) &&
         CopyFileW(from.c_str(), to.c_str(), fail_if_exists ? TRUE : FALSE) != FALSE;
}

bool MoveFileTo(const std::wstring& from, const std::wstring& to) {
  return Usable(from) && Usable(to) && MoveFileW(from.c_str(), to.c_str()) != FALSE;
}

bool DeleteFileAt(const std::wstring& path) {
  return Usable(path) && DeleteFileW(path.c_str()) != FALSE;
}

bool QueryFileStatus(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return Usable(path) && GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != FALSE;
}

std::optional<FileStamp> QueryFileStamp(const std::wstring& path) {
  if (!Usable(path)) return std::nullopt;
  // No access asked for: the status can be read even while others hold the
  // file open; backup semantics lets a folder be opened too.
  FileHandle file(CreateFileW(path.c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  const auto join = [](DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
  };
  FileStamp stamp;
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.file = join(info.nFileIndexHigh, info.nFileIndexLow);
  stamp.size = join(info.nFileSizeHigh, info.nFileSizeLow);
  stamp.modified = join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
  stamp.changed = join(info.ftCreationTime.dwHighDateTime, info.ftCreationTime.dwLowDateTime);
  return stamp;
}

void SleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

bool ReadWholeFile(const std::wstring& path, std::string& bytes, std::size_t max_bytes) {
  bytes.clear();
  if (!Usable(path)) return false;
  // Others may go on reading, writing or renaming it: the settings files are
  // the connector's too.
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > max_bytes)
    return false;
  try {
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  } catch (...) {
    return false;
  }
  // Read to the end rather than trusting the size: the file may grow, but
  // never past the cap.
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) ||
        bytes.size() + got > max_bytes) {
      bytes.clear();
      return false;
    }
    if (got == 0) return true;
    bytes.append(buffer, got);
  }
}

std::wstring TemporarySiblingPath(const std::wstring& path) {
  // The whole path plus a suffix keeps the file in the same folder, and so
  // on the same volume, which the rename over path needs.
  static std::atomic<unsigned> counter{0};
  const std::wstring stem = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-";
  std::wstring candidate;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    candidate = stem + std::to_wstring(counter++) + L".tmp";
    if (GetFileAttributesW(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) break;
  }
  return candidate;
}

bool ReplaceFileWith(const std::wstring& written, const std::wstring& target) {
  if (!Usable(written) || !Usable(target)) return false;
  {
    // The content must be on disk before the name points at it, or a crash
    // right after the rename could leave an empty file behind.
    FileHandle file(CreateFileW(written.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || !FlushFileBuffers(file.get()) || !file.Close()) return false;
  }
  return MoveFileExW(written.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool WriteFileAtomically(const std::wstring& path, std::string_view bytes) {
  if (!Usable(path)) return false;
  const std::wstring temporary = TemporarySiblingPath(path);
  bool written;
  {
    FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    written = WriteAll(file.get(), bytes.data(), bytes.size()) && FlushFileBuffers(file.get());
    written = file.Close() && written;
  }
  if (written && MoveFileExW(temporary.c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE)
    return true;
  DeleteFileW(temporary.c_str());
  return false;
}

}  // namespace kalinor::platform
