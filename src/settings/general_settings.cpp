#include "settings/general_settings.h"

#include <utility>

#include "platform/files.h"
#include "settings/settings_names.h"

namespace kalinor {

namespace {

// Keys the connector owns; this program must never set them.
const wchar_t* const kRefusedKeys[] = {L"SynchronizeDaysSpan", L"TransferMessagesBatchSize",
                                       L"OfflineMaxDays", L"TryConnectionTimeout"};
// The connector may hold the file open while it writes; wait once for it.
constexpr unsigned kReloadPauseMilliseconds = 1000;

bool IsRefusedKey(const std::wstring& key) {
  for (const wchar_t* refused : kRefusedKeys) {
    if (key == refused) return true;
  }
  return false;
}

}  // namespace

GeneralSettings::GeneralSettings(const std::wstring& loadFrom, std::wstring filePath,
                                 const SettingsFileReader& read, SecondLoad secondLoad)
    : FilePath(std::move(filePath)), loadFrom_(loadFrom) {
  if (!Load(read) && secondLoad == SecondLoad::kAfterPause) LoadAgainAfterPause(read);
}

bool GeneralSettings::LoadAgainAfterPause(const SettingsFileReader& read) {
  if (loaded_ || loadedAgain_) return loaded_;
  loadedAgain_ = true;
  platform::SleepMilliseconds(kReloadPauseMilliseconds);
  return Load(read);
}

bool GeneralSettings::Load(const SettingsFileReader& read) {
  std::string bytes;
  readError_ = read(loadFrom_, bytes);
  if (readError_.Failed()) bytes.clear();
  loaded_ = Document.LoadBytes(bytes) == S_OK;
  KeepsUnreadableFile = !loaded_ && platform::PathExists(loadFrom_);
  return loaded_;
}

std::wstring GeneralSettings::FileIn(const std::wstring& folder) {
  return folder + platform::kPathSeparator + settings_names::kGeneralSettingsFile;
}

HRESULT GeneralSettings::SetValue(std::wstring key, std::wstring value) {
  try {
    if (IsRefusedKey(key)) return E_FAIL;
    return Document.SetNodeText(
        std::wstring(settings_names::kRoot) + L"/" + settings_names::kGeneral + L"/" + key,
        std::move(value));
  } catch (...) {
    return S_FALSE;
  }
}

HRESULT GeneralSettings::Save() {
  try {
    if (KeepsUnreadableFile || FilePath.empty()) return E_FAIL;
    return Document.Save(FilePath);
  } catch (...) {
    return S_FALSE;
  }
}

}  // namespace kalinor
