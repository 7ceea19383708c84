#include "standin/mapi/snapshot_table.h"

#include <cstddef>
#include <algorithm>
#include <cstring>
#include <utility>

#include "standin/mapi/com_support.h"
#include "standin/mapi/mapi_standin.h"
#include "standin/mapi/unsupported_methods.h"

namespace kalinor::mapi_standin {
namespace {

constexpr ULONG kPropTypeMask = 0xFFFF;

HRESULT FillValue(const TableValue& value, LPSPropValue props, SPropValue& prop) {
  prop.ulPropTag = value.tag;
  prop.dwAlignPad = 0;
  const ULONG type = value.tag & kPropTypeMask;
  if (type == PT_BOOLEAN) {
    prop.Value.b = value.flag ? 1 : 0;
    return S_OK;
  }
  const bool is_string = type == PT_STRING8;
  const ULONG size = static_cast<ULONG>(value.bytes.size() + (is_string ? 1 : 0));
  void* copy = nullptr;
  const HRESULT hr = mapi_standin::MAPIAllocateMore(size, props, &copy);
  if (hr != S_OK) return hr;
  if (!value.bytes.empty()) std::memcpy(copy, value.bytes.data(), value.bytes.size());
  if (is_string) {
    prop.Value.lpszA =
        static_cast<LPSTR>(copy);  // already NUL-terminated: the block is zero-filled
  } else {
    prop.Value.bin.cb = static_cast<ULONG>(value.bytes.size());
    prop.Value.bin.lpb = static_cast<LPBYTE>(copy);
  }
  return S_OK;
}

HRESULT FillRow(const TableRow& row, SRow& out) {
  void* props = nullptr;
  const size_t slots = row.empty() ? 1 : row.size();
  HRESULT hr =
      mapi_standin::MAPIAllocateBuffer(static_cast<ULONG>(slots * sizeof(SPropValue)), &props);
  if (hr != S_OK) return hr;
  out.lpProps = static_cast<LPSPropValue>(props);
  out.cValues = static_cast<ULONG>(row.size());
  for (size_t i = 0; i < row.size() && hr == S_OK; ++i)
    hr = FillValue(row[i], out.lpProps, out.lpProps[i]);
  return hr;
}

// Builds a row set from rows[first, first + count); on failure nothing is
// left allocated.
HRESULT BuildRowSet(const std::vector<TableRow>& rows, size_t first, size_t count,
                    LPSRowSet* row_set) {
  *row_set = nullptr;
  void* memory = nullptr;
  const size_t size = offsetof(SRowSet, aRow) + (count == 0 ? 1 : count) * sizeof(SRow);
  HRESULT hr = mapi_standin::MAPIAllocateBuffer(static_cast<ULONG>(size), &memory);
  if (hr != S_OK) return hr;
  auto* set = static_cast<LPSRowSet>(memory);
  set->cRows = static_cast<ULONG>(count);  // unfilled rows hold null lpProps, which FreeProws skips
  for (size_t i = 0; i < count && hr == S_OK; ++i) hr = FillRow(rows[first + i], set->aRow[i]);
  if (hr != S_OK) {
    mapi_standin::FreeProws(set);
    return hr;
  }
  *row_set = set;
  return S_OK;
}

class SnapshotTable final : public UnsupportedTableMethods<RefCounted<IMAPITable>> {
 public:
  explicit SnapshotTable(std::vector<TableRow> rows)
      : UnsupportedTableMethods(kIidIMAPITable), m_rows(std::move(rows)) {}

  HRESULT KALINOR_MAPI_CALL GetRowCount(ULONG, ULONG* lpulCount) override {
    if (lpulCount == nullptr) return MAPI_E_INVALID_PARAMETER;
    *lpulCount = static_cast<ULONG>(m_rows.size());
    return S_OK;
  }

  // Forwards from the current position for a positive count, backwards
  // (rows still in table order) for a negative one; the position moves past
  // the rows read.
  HRESULT KALINOR_MAPI_CALL QueryRows(LONG lRowCount, ULONG, LPSRowSet* lppRows) override {
    if (lppRows == nullptr) return MAPI_E_INVALID_PARAMETER;
    *lppRows = nullptr;
    const long long wanted = lRowCount;
    size_t first = m_position;
    size_t count;
    if (wanted >= 0) {
      count = static_cast<size_t>(
          std::min<long long>(wanted, static_cast<long long>(m_rows.size() - m_position)));
    } else {
      count = static_cast<size_t>(std::min<long long>(-wanted, static_cast<long long>(m_position)));
      first = m_position - count;
    }
    const HRESULT hr = BuildRowSet(m_rows, first, count, lppRows);
    if (hr == S_OK) m_position = wanted >= 0 ? first + count : first;
    return hr;
  }

 private:
  const std::vector<TableRow> m_rows;
  size_t m_position = 0;
};

}  // namespace

TableValue BooleanValue(ULONG tag, bool flag) {
  TableValue value;
  value.tag = tag;
  value.flag = flag;
  return value;
}

TableValue BytesValue(ULONG tag, std::string bytes) {
  TableValue value;
  value.tag = tag;
  value.bytes = std::move(bytes);
  return value;
}

IMAPITable* NewSnapshotTable(std::vector<TableRow> rows) {
  return new SnapshotTable(std::move(rows));
}

}  // namespace kalinor::mapi_standin
