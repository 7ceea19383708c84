#include "mapi_standin_test_helpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "standin/mapi/mapi_standin.h"
#include "platform/text.h"

namespace kalinor::mapi_standin::test_helpers {

TemporaryFolder::TemporaryFolder() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  do {
    m_path = base / ("kalinor-mapi-" + std::to_string(random()) + std::to_string(random()));
  } while (!std::filesystem::create_directory(m_path));
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::optional<std::string> RowValues::Bytes(ULONG tag) const {
  const auto found = bytes.find(tag);
  if (found == bytes.end()) return std::nullopt;
  return found->second;
}

std::vector<RowValues> ReadAndReleaseTable(IMAPITable* table) {
  std::vector<RowValues> rows;
  ULONG count = 0;
  EXPECT_EQ(table->GetRowCount(0, &count), S_OK);
  LPSRowSet set = nullptr;
  EXPECT_EQ(table->QueryRows(static_cast<LONG>(count), 0, &set), S_OK);
  if (set != nullptr) {
    EXPECT_EQ(set->cRows, count);
    for (ULONG r = 0; r < set->cRows; ++r) {
      RowValues& row = rows.emplace_back();
      for (ULONG v = 0; v < set->aRow[r].cValues; ++v) {
        const SPropValue& prop = set->aRow[r].lpProps[v];
        if ((prop.ulPropTag & 0xFFFF) == PT_BOOLEAN)
          row.flags[prop.ulPropTag] = prop.Value.b != 0;
        else if ((prop.ulPropTag & 0xFFFF) == PT_STRING8)
          row.bytes[prop.ulPropTag] = prop.Value.lpszA;
        else if ((prop.ulPropTag & 0xFFFF) == PT_BINARY)
          row.bytes[prop.ulPropTag] =
              std::string(reinterpret_cast<const char*>(prop.Value.bin.lpb), prop.Value.bin.cb);
      }
    }
    mapi_standin::FreeProws(set);
  }
  table->Release();
  return rows;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << path;
}

std::wstring WidePath(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return platform::FromUtf8(std::string(utf8.begin(), utf8.end()));
}

}  // namespace kalinor::mapi_standin::test_helpers
