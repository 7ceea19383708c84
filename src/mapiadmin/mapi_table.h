// The one way a MAPI table is read: opened, counted, then every row queried
// at once. What failed is returned as a value; the caller decides whether
// and where to report it.
#pragma once

#include <functional>
#include <optional>
#include <span>

#include "mapiadmin/mapi_ptr.h"
#include "platform/mapi.h"

namespace kalinor {

/// The step of a table read.
enum class TableStep {
  kOpen,   ///< GetProfileTable / GetMsgServiceTable
  kCount,  ///< GetRowCount
  kRows,   ///< QueryRows
};

/// The step that failed and its result.
struct TableFailure {
  TableStep Step;
  HRESULT Result;

  friend bool operator==(const TableFailure&, const TableFailure&) = default;
};

/// What a caller does with a failed table read: the library returns the
/// failure, the program decides where it is written.
using TableFailureReport = std::function<void(const TableFailure&)>;

/// Every row of one table, held until the object goes: the row set is freed
/// with the run's FreeProws, then the table released.
class WholeTable {
 public:
  explicit WholeTable(const platform::MapiEntryPoints& mapi) : rows_(mapi) {}
  WholeTable(const WholeTable&) = delete;
  WholeTable& operator=(const WholeTable&) = delete;

  /// The row count the table gave; 0 before it was read.
  ULONG Count() const { return count_; }

  /// The rows QueryRows handed back, in table order; none for an empty table.
  std::span<const SRow> Rows() const {
    const LPSRowSet set = rows_.Get();
    if (set == nullptr) return {};
    return {set->aRow, set->cRows};
  }

 private:
  template <typename Open>
  friend std::optional<TableFailure> OpenTable(Open&& open, WholeTable& table);

  InterfacePtr<IMAPITable> table_;
  RowSetPtr rows_;  // after table_: freed before the table is released
  ULONG count_ = 0;
};

/// Opens a table through open (called with the IMAPITable** to fill, it
/// returns the HRESULT) and reads every row into table: GetRowCount, then
/// QueryRows for that many (not called for an empty table). Nothing on
/// success; else the failing step with its result.
template <typename Open>
[[nodiscard]] std::optional<TableFailure> OpenTable(Open&& open, WholeTable& table) {
  HRESULT result = open(table.table_.Receive());
  if (result != S_OK) return TableFailure{TableStep::kOpen, result};
  result = table.table_->GetRowCount(0, &table.count_);
  if (result != S_OK) return TableFailure{TableStep::kCount, result};
  if (table.count_ == 0) return std::nullopt;
  result = table.table_->QueryRows(static_cast<LONG>(table.count_), 0, table.rows_.Receive());
  if (result != S_OK) return TableFailure{TableStep::kRows, result};
  return std::nullopt;
}

}  // namespace kalinor
