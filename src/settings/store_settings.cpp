#include "settings/store_settings.h"

#include <utility>

#include "datafolder/data_folders.h"
#include "frontend/debug_trace.h"
#include "platform/files.h"
#include "settings/database_confinement.h"
#include "settings/store_id.h"

namespace kalinor {

namespace {

const wchar_t kStoreSettingsFileName[] = L"StoreSettings.xml";
const wchar_t kDatabaseValueName[] = L"dbFileName";

std::wstring StorePathAt(int index) {
  return L"QEVConfiguration/Store[" + std::to_wstring(index) + L"]";
}

std::wstring StorePathWithId(const std::wstring& id) {
  return L"QEVConfiguration/Store[@id=\"" + id + L"\"]";
}

// Renames the file into place; where that cannot be done (another volume)
// copies it there whole and then deletes the original, as a move does.
// Never replaces a file at to.
bool MoveWithoutReplacing(const std::wstring& from, const std::wstring& to) {
  if (platform::RenameFileNoReplace(from, to)) return true;
  if (!platform::CopyFileAtomicallyNoReplace(from, to)) return false;
  platform::DeleteFileAt(from);
  return true;
}

}  // namespace

StoreSettings::StoreSettings() {
  const DataFolders& folders = DataFolders::Instance();
  if (folders.DataFolder().empty()) return;  // no data folder: nothing to open
  FilePath = FileIn(folders.DataFolder());
  if (!platform::PathExists(FilePath)) {
    MigrateFromPellucorFolder(FileIn(folders.PellucorDataFolder()));
    // Also fails when the takeover has put a file at FilePath: then its
    // outcome stands.
    const std::wstring installFolder = folders.InstallDataFolder();
    if (installFolder.empty() ||
        !platform::CopyFileAtomicallyNoReplace(FileIn(installFolder), FilePath))
      return;
  }
  if (Document.Load(FilePath) == S_OK) IsLoaded = 1;
}

StoreSettings::StoreSettings(const std::wstring& filePath) : FilePath(filePath) {
  if (Document.Load(FilePath) == S_OK) IsLoaded = 1;
}

std::wstring StoreSettings::FileIn(const std::wstring& folder) {
  return folder + platform::kPathSeparator + kStoreSettingsFileName;
}

// A kill at any point leaves no database behind for the next uninstall: the
// copy appears at FilePath whole or not at all; until the save, the list
// there names the older folder, and the cleanup then looks for a database
// that has already been moved in the data folder.
void StoreSettings::MigrateFromPellucorFolder(const std::wstring& oldPath) {
  if (!platform::CopyFileAtomicallyNoReplace(oldPath, FilePath)) return;
  if (!platform::QueryFileStatus(FilePath)) return;
  if (Document.Load(FilePath) != S_OK) return;
  IsLoaded = 1;
  const DataFolders& folders = DataFolders::Instance();
  const DatabaseConfinement confinement(folders.DataFolder(), folders.PellucorDataFolder());
  VisitStores([&] {
    MoveStoreDatabase(confinement);
    return false;
  });
  Save();
  platform::DeleteFileAt(oldPath);
}

void StoreSettings::MoveStoreDatabase(const DatabaseConfinement& confinement) {
  const std::wstring oldDatabase = GetValue(kDatabaseValueName);
  if (oldDatabase.empty()) return;
  const std::wstring source = confinement.Resolve(oldDatabase);
  const platform::FileKind kind = platform::QueryFileKind(source);
  if (kind == platform::FileKind::kMissing) return;
  // Only the older folder's own files move; anything else keeps its place
  // and the store keeps pointing at it.
  if (const wchar_t* refusal = confinement.RefusalToMove(source, kind)) {
    DebugTrace(L"Database file not moved (%ls): %ls", refusal, source.c_str());
    return;
  }
  const std::wstring newDatabase = confinement.SameNameInDataFolder(source);
  if (MoveWithoutReplacing(source, newDatabase)) SetValue(kDatabaseValueName, newDatabase);
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
