#include "settings/settings_cleanup.h"

#include <string>

#include "datafolder/data_folders.h"
#include "frontend/debug_trace.h"
#include "platform/files.h"
#include "settings/database_confinement.h"
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

// Deletes the database file a dbFileName value names, when the rule allows.
// True when it is gone or was never there; false when it was refused (one
// debugger line) or could not be deleted.
bool DeleteDatabase(const std::wstring& value, const DatabaseConfinement& confinement) {
  const DatabaseDecision decision = DecideDatabase(value, confinement);
  switch (decision.Fate) {
    case DatabaseFate::kAbsent:
      return true;
    case DatabaseFate::kRefuse:
      DebugTrace(L"Database file not deleted (%ls): %ls", decision.Refusal, decision.Path.c_str());
      return false;
    case DatabaseFate::kDelete:
      break;
  }
  return platform::DeleteFileAt(decision.Path);
}

// Clears every store: its database first, then its entry. False when any
// database was left on disk.
bool ClearAllStores(StoreSettings& settings) {
  const DataFolders& folders = DataFolders::Instance();
  const DatabaseConfinement confinement(folders.DataFolder(), folders.PellucorDataFolder());
  bool everyDatabaseGone = true;
  settings.VisitStores([&] {
    const std::wstring database = settings.GetValue(L"dbFileName");
    const std::wstring id = settings.GetAttribute(L"id");
    if (!DeleteDatabase(database, confinement)) everyDatabaseGone = false;
    return NamesItsOwnStore(id) && settings.RemoveStore(id);
  });
  return everyDatabaseGone;
}

}  // namespace

bool ClearStoreSettings() {
  DebugTrace(L"Clear store settings >>");
  StoreSettings settings;
  bool done = ClearAllStores(settings);
  if (settings.IsLoaded)
    done = settings.Save() == S_OK && done;
  else  // unreadable, or no data folder: nothing could be cleared
    done = !settings.FilePath.empty() && !platform::PathExists(settings.FilePath);
  DebugTrace(L"Clear store settings <<");
  return done;
}

bool ClearArchiveUrl() {
  GeneralSettings settings;
  settings.SetValue(L"PellucorURL", L"");
  return settings.Save() == S_OK;
}

}  // namespace kalinor
