#include "settings/store_settings.h"

#include <utility>

#include "platform/files.h"
#include "settings/settings_names.h"
#include "settings/store_id.h"

namespace kalinor {

namespace {

using namespace settings_names;

const std::wstring kStores = std::wstring(kRoot) + L"/" + kStore;

std::wstring StorePathAt(int index) { return kStores + L"[" + std::to_wstring(index) + L"]"; }

std::wstring StorePathWithId(const std::wstring& id) {
  return kStores + L"[@" + kStoreId + L"=\"" + id + L"\"]";
}

}  // namespace

StoreSettings::StoreSettings(const std::wstring& loadFrom, std::wstring filePath,
                             const SettingsFileReader& read)
    : FilePath(std::move(filePath)) {
  std::string bytes;
  readError_ = read(loadFrom, bytes);
  if (readError_.Failed()) bytes.clear();
  if (Document.LoadBytes(bytes) == S_OK) IsLoaded = 1;
}

std::wstring StoreSettings::FileIn(const std::wstring& folder) {
  return folder + platform::kPathSeparator + kStoreSettingsFile;
}

std::vector<ListedStore> StoreSettings::ReadStores() {
  std::vector<ListedStore> stores;
  if (!IsLoaded) return stores;
  Document.VisitElements(kRoot, kStore, [&](const XMLElementView& store) {
    stores.push_back({store.GetAttribute(kStoreId), store.GetNodeText(kDatabaseFile)});
  });
  return stores;
}

// Store[position] is always the next store to visit: one visited leaves,
// or moves behind the others, and position moves on only past a store that
// the document will not move. The count is exact, so each place is there.
void StoreSettings::VisitStores(const std::function<bool()>& visit) {
  if (!IsLoaded) return;
  int position = 0;
  for (int remaining = CountStoreElements(); remaining > 0; --remaining) {
    CurrentStorePath = StorePathAt(position);
    if (visit()) continue;
    if (Document.MoveNodeToEnd(CurrentStorePath) != S_OK) ++position;
  }
}

int StoreSettings::RemoveStoresAt(const std::vector<bool>& marked) {
  int removed = 0;
  std::size_t store = 0;
  VisitStores([&] {
    const bool remove = store < marked.size() && marked[store++];
    if (!remove || Document.RemoveNode(CurrentStorePath) != S_OK) return false;
    ++removed;
    return true;
  });
  return removed;
}

// StoreCount is never below the number of stores n, and usually above it
// by a few other child nodes only; Store[n] is the first place that selects
// nothing. Steps down from that bound, doubling, then a binary search, find n
// in a few selections however many stores there are (each selection walks
// the stores before its place).
int StoreSettings::CountStoreElements() {
  int low = 0;              // Store[low - 1] is there
  int high = StoreCount();  // Store[high] is not
  for (int step = 1; high - step >= low; step *= 2) {
    if (Document.NodeExists(StorePathAt(high - step))) {
      low = high - step + 1;
      break;
    }
    high -= step;
  }
  while (low < high) {
    const int middle = low + (high - low) / 2;
    if (Document.NodeExists(StorePathAt(middle)))
      low = middle + 1;
    else
      high = middle;
  }
  return low;
}

int StoreSettings::StoreCount() {
  if (!IsLoaded) return -1;
  try {
    return Document.GetChildNodeCount(kRoot);
  } catch (...) {
    return -1;
  }
}

bool StoreSettings::SelectStore(int index) {
  if (!IsLoaded) return false;
  try {
    std::wstring path = StorePathAt(index);
    if (!Document.NodeExists(path)) return false;
    CurrentStorePath = std::move(path);
    return true;
  } catch (...) {
    return false;
  }
}

std::wstring StoreSettings::GetValue(std::wstring name) {
  if (!IsLoaded) return std::wstring();
  try {
    return Document.GetNodeText(CurrentStorePath + L"/" + name);
  } catch (...) {
    return std::wstring();
  }
}

std::wstring StoreSettings::GetAttribute(std::wstring name) {
  if (!IsLoaded) return std::wstring();
  try {
    return Document.GetNodeAttribute(CurrentStorePath, std::move(name));
  } catch (...) {
    return std::wstring();
  }
}

HRESULT StoreSettings::SetValue(std::wstring name, std::wstring value) {
  if (!IsLoaded) return E_FAIL;
  try {
    return Document.SetNodeText(CurrentStorePath + L"/" + name, std::move(value));
  } catch (...) {
    return S_FALSE;
  }
}

bool StoreSettings::RemoveStore(std::wstring id) {
  if (!IsLoaded) return false;
  try {
    if (RemoveFirstStoreWithId(id)) return true;
    if (Document.NodeExists(StorePathWithId(id))) return false;  // found, but the document refused
    return RemoveFirstStoreWithId(FormatStoreIdBytes(StoreIdBytesFromPairForm(id)));
  } catch (...) {
    return false;
  }
}

// RemoveNode selects the store itself and fails when there is none, so the
// usual case costs one selection. A refused removal is reported as such, so
// that a caller walking the stores does not take the store for gone.
bool StoreSettings::RemoveFirstStoreWithId(const std::wstring& id) {
  return Document.RemoveNode(StorePathWithId(id)) == S_OK;
}

HRESULT StoreSettings::Save() {
  if (!IsLoaded) return E_FAIL;
  try {
    return Document.Save(FilePath);
  } catch (...) {
    return S_FALSE;
  }
}

}  // namespace kalinor
