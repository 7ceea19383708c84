// Test helpers for files: a temporary folder that removes itself, and whole
// file reads and writes that go around the code under test.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalinor::testing {

/// A new, empty folder under the system's temporary folder, removed with
/// everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  /// The folder, without a trailing separator.
  const std::wstring& Path() const { return m_path; }
  /// Path() joined with name by the platform's separator.
  std::wstring File(std::wstring_view name) const;
  /// The same as File(): Path() + the platform's separator + relative.
  std::wstring Join(std::wstring_view relative) const { return File(relative); }
  /// Names of the entries directly in the folder, sorted.
  std::vector<std::wstring> Entries() const { return FolderEntries(m_path); }

  /// Names of the entries directly in folder, sorted; empty when unreadable.
  static std::vector<std::wstring> FolderEntries(const std::wstring& folder);

 private:
  std::wstring m_path;
};

/// folder joined with name by the platform's separator.
std::wstring JoinPath(const std::wstring& folder, std::wstring_view name);

/// A wide path as a std::filesystem path (UTF-8 file names on POSIX).
std::filesystem::path FileSystemPath(const std::wstring& path);

/// Writes bytes as the whole file; false when it cannot be written.
bool WriteBytes(const std::wstring& path, std::string_view bytes);

/// The file's bytes; nullopt when it cannot be read.
std::optional<std::string> ReadBytes(const std::wstring& path);

/// Creates one folder; false when it was not created.
bool MakeFolder(const std::wstring& path);

/// WriteBytes under the name some suites use.
inline bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  return WriteBytes(path, bytes);
}

/// ReadBytes under the name some suites use.
inline std::optional<std::string> ReadFileBytes(const std::wstring& path) {
  return ReadBytes(path);
}

/// True when path names a folder.
bool IsFolder(const std::wstring& path);

/// Creates a folder and any missing parents; false when it does not exist afterwards.
bool CreateFolderTree(const std::wstring& path);

/// Removes a file or a folder with everything in it; false when something was left.
bool RemoveTree(const std::wstring& path);

}  // namespace kalinor::testing
