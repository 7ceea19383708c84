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

// Deletes the database file; true when it is gone (or never was there).
bool DeleteDatabase(const std::wstring& database) {
  if (!platform::PathExists(database)) return true;
  return platform::DeleteFileAt(database);
}

// Clears the store at the current position. True when its entry is gone, so
// that the next store has moved up to this position; `complete` turns false
// when its database file stays behind.
bool ClearSelectedStore(StoreSettings& settings, bool& complete) {
  const std::wstring database = settings.GetValue(L"dbFileName");
  const std::wstring id = settings.GetAttribute(L"id");
  if (!DeleteDatabase(database)) complete = false;
  return NamesItsOwnStore(id) && settings.RemoveStore(id);
}

// Walks the stores by position: a store that stays is passed over, so that
// the stores after it are still cleared. True when every store was cleared.
bool ClearAllStores(StoreSettings& settings) {
  bool complete = true;
  int position = 0;
  while (settings.SelectStore(position)) {
    if (!ClearSelectedStore(settings, complete)) {
      complete = false;
      ++position;
    }
  }
  return complete;
}

// True when the cleared list is on disk, or there was no file to save.
bool SaveStoreSettings(StoreSettings& settings) {
  if (!settings.IsLoaded) return !platform::PathExists(settings.FilePath);
  return settings.Save() == S_OK;
}

}  // namespace

bool ClearStoreSettings() {
  DebugTrace(L"Clear store settings >>");
  StoreSettings settings;
  const bool cleared = ClearAllStores(settings);
  const bool saved = SaveStoreSettings(settings);
  DebugTrace(L"Clear store settings <<");
  return cleared && saved;
}

bool ClearArchiveUrl() {
  GeneralSettings settings;
  const bool blanked = settings.SetValue(L"PellucorURL", L"") == S_OK;
  return settings.Save() == S_OK && blanked;
}

}  // namespace kalinor
