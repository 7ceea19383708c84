#include "settings/store_settings.h"

#include <utility>

#include "datafolder/data_folders.h"
#include "platform/files.h"
#include "settings/store_id.h"

namespace kalinor {

namespace {

const wchar_t kStoreSettingsFileName[] = L"StoreSettings.xml";
const wchar_t kDatabaseValueName[] = L"dbFileName";

std::wstring SettingsFileIn(const std::wstring& folder) {
  return folder + platform::kPathSeparator + kStoreSettingsFileName;
}

std::wstring StorePathAt(int index) {
  return L"QEVConfiguration/Store[" + std::to_wstring(index) + L"]";
}

std::wstring StorePathWithId(const std::wstring& id) {
  return L"QEVConfiguration/Store[@id=\"" + id + L"\"]";
}

// The file name with its leading separator. A bare name gets a separator, so
// that appending it to a folder always gives a path inside that folder.
std::wstring FileNamePart(const std::wstring& path) {
  std::size_t separator = path.rfind(platform::kPathSeparator);
  if (separator == std::wstring::npos) return platform::kPathSeparator + path;
  return path.substr(separator);
}

}  // namespace

StoreSettings::StoreSettings() {
  const DataFolders& folders = DataFolders::Instance();
  FilePath = SettingsFileIn(folders.DataFolder());
  if (!platform::PathExists(FilePath)) {
    MigrateFromPellucorFolder(SettingsFileIn(folders.PellucorDataFolder()));
    // Also fails when the takeover has put a file at FilePath: then its
    // outcome stands.
    if (!platform::CopyFileTo(SettingsFileIn(folders.InstallDataFolder()), FilePath, true)) return;
  }
  if (Document.Load(FilePath) == S_OK) IsLoaded = 1;
}

void StoreSettings::MigrateFromPellucorFolder(const std::wstring& oldPath) {
  if (!platform::CopyFileTo(oldPath, FilePath, true)) return;
  if (!platform::QueryFileStatus(FilePath)) return;
  if (Document.Load(FilePath) != S_OK) return;
  IsLoaded = 1;
  const std::wstring dataFolder = DataFolders::Instance().DataFolder();
  const int count = StoreCount();
  for (int index = 0; index < count; ++index) {
    if (SelectStore(index)) MoveStoreDatabase(dataFolder);
  }
  Save();
  platform::DeleteFileAt(oldPath);
}

void StoreSettings::MoveStoreDatabase(const std::wstring& dataFolder) {
  const std::wstring oldDatabase = GetValue(kDatabaseValueName);
  if (oldDatabase.empty()) return;
  const std::wstring newDatabase = dataFolder + FileNamePart(oldDatabase);
  // Neither call replaces a file already at the new path.
  const bool placed = platform::MoveFileTo(oldDatabase, newDatabase) ||
                      platform::CopyFileTo(oldDatabase, newDatabase, true);
  // A store whose file stayed behind keeps pointing at it, so that its data
  // is not cut off from its settings.
  if (placed) SetValue(kDatabaseValueName, newDatabase);
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
