#include "support/temp_folder.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

#include "platform/text.h"

namespace kalinor::testing {

namespace {

std::wstring WidePath(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return platform::FromUtf8(std::string(utf8.begin(), utf8.end()));
}

}  // namespace

std::filesystem::path FileSystemPath(const std::wstring& path) {
  const std::string utf8 = platform::ToUtf8(path);
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

TempFolder::TempFolder() {
  std::random_device entropy;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        base / ("kalinor-test-" + std::to_string(entropy()) + std::to_string(entropy()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      m_path = WidePath(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code error;
  std::filesystem::remove_all(FileSystemPath(m_path), error);
}

std::wstring JoinPath(const std::wstring& folder, std::wstring_view name) {
  return folder + static_cast<wchar_t>(std::filesystem::path::preferred_separator) +
         std::wstring(name);
}

std::wstring TempFolder::File(std::wstring_view name) const { return JoinPath(m_path, name); }

std::vector<std::wstring> TempFolder::FolderEntries(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(FileSystemPath(folder), error))
    names.push_back(WidePath(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

bool WriteBytes(const std::wstring& path, std::string_view bytes) {
  std::ofstream file(FileSystemPath(path), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file.flush());
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(FileSystemPath(path), error)) return std::nullopt;
  std::ifstream file(FileSystemPath(path), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool MakeFolder(const std::wstring& path) {
  std::error_code error;
  return std::filesystem::create_directory(FileSystemPath(path), error);
}

bool IsFolder(const std::wstring& path) {
  std::error_code error;
  return std::filesystem::is_directory(FileSystemPath(path), error);
}

bool CreateFolderTree(const std::wstring& path) {
  std::error_code error;
  std::filesystem::create_directories(FileSystemPath(path), error);
  return IsFolder(path);
}

bool RemoveTree(const std::wstring& path) {
  std::error_code error;
  std::filesystem::remove_all(FileSystemPath(path), error);
  return !error;
}

}  // namespace kalinor::testing
