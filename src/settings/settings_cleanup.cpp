#include "settings/settings_cleanup.h"

#include <string>

#include "frontend/debug_trace.h"
#include "platform/files.h"
#include "settings/general_settings.h"
#include "settings/store_settings.h"

namespace kalinor {

namespace {

// Only an id that its own node path can select names the store it was read
// from: for an empty id, or one holding a double quote, RemoveStore could only
// match some other store through the byte form, whose database would then be
// left behind.
bool NamesItsOwnStore(const std::wstring& id) {
  return !id.empty() && id.find(L'"') == std::wstring::npos;
}

// Clears the store at the current position. True when its entry is gone, so
// that the next store has moved up to this position.
bool ClearSelectedStore(StoreSettings& settings) {
  const std::wstring database = settings.GetValue(L"dbFileName");
  const std::wstring id = settings.GetAttribute(L"id");
  if (platform::PathExists(database)) platform::DeleteFileAt(database);
  return NamesItsOwnStore(id) && settings.RemoveStore(id);
}

// Walks the stores by position: a store that stays is passed over, so that
// the stores after it are still cleared.
void ClearAllStores(StoreSettings& settings) {
  int position = 0;
  while (settings.SelectStore(position)) {
    if (!ClearSelectedStore(settings)) ++position;
  }
}

}  // namespace

void ClearStoreSettings() {
  DebugTrace(L"Clear store settings >>");
  StoreSettings settings;
  ClearAllStores(settings);
  settings.Save();
  DebugTrace(L"Clear store settings <<");
}

void ClearArchiveUrl() {
  GeneralSettings settings;
  settings.SetValue(L"PellucorURL", L"");
  settings.Save();
}

}  // namespace kalinor
