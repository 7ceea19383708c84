// Helpers for driving the stand-in MAPI subsystem in tests: a temporary
// folder for its files, and tables read into plain values.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/mapi.h"

namespace kalinor::mapi_standin::test_helpers {

/// A fresh empty folder under the system's temporary folder, removed with
/// everything in it when the object goes.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  /// The folder.
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

/// One table row: 8-bit strings and binaries by tag, booleans by tag.
struct RowValues {
  std::map<ULONG, std::string> bytes;
  std::map<ULONG, bool> flags;

  /// The bytes under tag, nullopt when the row lacks it.
  std::optional<std::string> Bytes(ULONG tag) const;
};

/// Reads a whole table as callers do (GetRowCount, QueryRows, FreeProws)
/// and releases it. An empty result and a test failure when a call fails.
std::vector<RowValues> ReadAndReleaseTable(IMAPITable* table);

/// The file's bytes; "" when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);

/// Writes bytes as the whole file.
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

/// A path as the platform services take it.
std::wstring WidePath(const std::filesystem::path& path);

}  // namespace kalinor::mapi_standin::test_helpers
