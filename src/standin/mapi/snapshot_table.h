// The stand-in's IMAPITable: a snapshot of rows taken when the table was
// asked for, read with GetRowCount and QueryRows. Its row sets come from
// MAPIAllocateBuffer, so FreeProws frees them as MAPI's own.
#pragma once

#include <string>
#include <vector>

#include "platform/mapi.h"

namespace kalinor::mapi_standin {

/// One property of a row: a boolean (PT_BOOLEAN) or bytes (PT_STRING8,
/// without the terminating NUL, or PT_BINARY), chosen by the tag's type.
struct TableValue {
  ULONG tag = 0;
  bool flag = false;
  std::string bytes;
};

/// A row: its properties in column order.
using TableRow = std::vector<TableValue>;

/// A boolean property.
TableValue BooleanValue(ULONG tag, bool flag);

/// A PT_STRING8 or PT_BINARY property holding bytes.
TableValue BytesValue(ULONG tag, std::string bytes);

/// A new table (reference count 1) over rows, positioned before the first
/// row. Raises std::bad_alloc when out of memory.
IMAPITable* NewSnapshotTable(std::vector<TableRow> rows);

}  // namespace kalinor::mapi_standin
