// Owning wrappers for what MAPI hands out: an interface released once, and a
// row set freed once with FreeProws, on every path out of a scope.
#pragma once

#include <cstring>

#include "platform/mapi.h"

namespace kalinor {

/// Holds one reference to a MAPI interface and releases it at scope exit.
template <class Interface>
class MapiPtr {
 public:
  MapiPtr() = default;
  ~MapiPtr() { Reset(); }
  MapiPtr(const MapiPtr&) = delete;
  MapiPtr& operator=(const MapiPtr&) = delete;

  /// The address MAPI writes a new interface to; releases any held one first.
  Interface** Receive() {
    Reset();
    return &pointer_;
  }
  Interface* Get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  void Reset() {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  Interface* pointer_ = nullptr;
};

/// Holds a row set from QueryRows and frees it with FreeProws at scope exit.
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
