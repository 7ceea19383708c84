// Owning wrappers for what MAPI hands out: an interface released once
// (platform::InterfacePtr), and a row set freed once with FreeProws, on every
// path out of a scope.
#pragma once

#include "platform/mapi.h"
#include "platform/scoped_handle.h"

namespace kalinor {

using platform::InterfacePtr;

/// Holds a row set from QueryRows and frees it with FreeProws at scope exit.
/// (Not a ScopedHandle: the FreeProws to call comes with the run's MAPI.)
class RowSetPtr {
 public:
  explicit RowSetPtr(const platform::MapiEntryPoints& mapi) : mapi_(mapi) {}
  ~RowSetPtr() {
    if (rows_ != nullptr) mapi_.FreeProws(rows_);
  }
  RowSetPtr(const RowSetPtr&) = delete;
  RowSetPtr& operator=(const RowSetPtr&) = delete;

  LPSRowSet* Receive() { return &rows_; }
  LPSRowSet Get() const { return rows_; }

 private:
  const platform::MapiEntryPoints& mapi_;
  LPSRowSet rows_ = nullptr;
};

/// The first property of the row with the tag, or null.
inline const SPropValue* FindProperty(const SRow& row, ULONG tag) {
  if (row.lpProps == nullptr) return nullptr;
  for (ULONG i = 0; i < row.cValues; ++i) {
    if (row.lpProps[i].ulPropTag == tag) return &row.lpProps[i];
  }
  return nullptr;
}

}  // namespace kalinor
