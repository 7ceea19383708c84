#include "settings/store_settings.h"

#include <utility>

#include "platform/files.h"
#include "settings/store_id.h"

namespace kalinor {

namespace {

const wchar_t kStoreSettingsFileName[] = L"StoreSettings.xml";

std::wstring StorePathAt(int index) {
  return L"QEVConfiguration/Store[" + std::to_wstring(index) + L"]";
}

std::wstring StorePathWithId(const std::wstring& id) {
  return L"QEVConfiguration/Store[@id=\"" + id + L"\"]";
}

}  // namespace

StoreSettings::StoreSettings(const std::wstring& loadFrom, std::wstring filePath)
    : FilePath(std::move(filePath)) {
  if (Document.Load(loadFrom) == S_OK) IsLoaded = 1;
}

std::wstring StoreSettings::FileIn(const std::wstring& folder) {
  return folder + platform::kPathSeparator + kStoreSettingsFileName;
}

void StoreSettings::VisitStores(const std::function<bool()>& visit) {
  int position = 0;  // moves on only past a store that the document will not move
  for (int remaining = CountStores(); remaining > 0 && SelectStore(position); --remaining) {
    if (visit()) continue;
    if (Document.MoveNodeToEnd(CurrentStorePath) != S_OK) ++position;
  }
}

int StoreSettings::CountStores() {
  // StoreCount is never below the number of stores, and Store[n] is the
  // first position that selects nothing: a binary search finds n.
  int low = 0;
  int high = StoreCount();
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
    return Document.GetChildNodeCount(L"QEVConfiguration");
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
