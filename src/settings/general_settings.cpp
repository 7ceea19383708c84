#include "settings/general_settings.h"

#include <utility>

#include "platform/files.h"

namespace kalinor {

namespace {

const wchar_t kGeneralSettingsFileName[] = L"GeneralSettings.xml";
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
                                 const SettingsFileReader& read)
    : FilePath(std::move(filePath)) {
  const auto load = [&] {
    std::string bytes;
    if (!read(loadFrom, bytes)) bytes.clear();
    return Document.LoadBytes(bytes) == S_OK;
  };
  if (load()) return;
  platform::SleepMilliseconds(kReloadPauseMilliseconds);
  if (load()) return;
  KeepsUnreadableFile = platform::PathExists(loadFrom);
}

std::wstring GeneralSettings::FileIn(const std::wstring& folder) {
  return folder + platform::kPathSeparator + kGeneralSettingsFileName;
}

HRESULT GeneralSettings::SetValue(std::wstring key, std::wstring value) {
  try {
    if (IsRefusedKey(key)) return E_FAIL;
    return Document.SetNodeText(L"QEVConfiguration/General/" + key, std::move(value));
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
