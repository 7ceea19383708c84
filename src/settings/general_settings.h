// GeneralSettings: GeneralSettings.xml, loaded, changed by key and saved. It
// touches no other file: seeding a missing file is the cleanup plan's
// business.
#pragma once

#include <string>

#include "platform/hresult.h"
#include "settings/settings_file_reader.h"
#include "xml/xml_document.h"

namespace kalinor {

/// Whether a load that failed is tried once more, a second later (the
/// connector may hold the file open while it writes it).
enum class SecondLoad { kAfterPause, kLater };

class GeneralSettings {
 public:
  /// Loads the file at loadFrom (read by read); on failure, with kAfterPause,
  /// once more after a second, with kLater only when LoadAgainAfterPause is
  /// called. Save writes filePath. A file that stands at loadFrom but cannot
  /// be read is kept: Save then refuses.
  GeneralSettings(const std::wstring& loadFrom, std::wstring filePath,
                  const SettingsFileReader& read = ReadSettingsFileByName,
                  SecondLoad secondLoad = SecondLoad::kAfterPause);
  GeneralSettings(const GeneralSettings&) = delete;
  GeneralSettings& operator=(const GeneralSettings&) = delete;

  /// folder + separator + "GeneralSettings.xml".
  static std::wstring FileIn(const std::wstring& folder);

  /// Sets the text of QEVConfiguration/General/<key>, creating missing
  /// elements. The SetNodeText result; E_FAIL for the four keys this program
  /// must not touch; S_FALSE when anything is raised.
  HRESULT SetValue(std::wstring key, std::wstring value);

  /// Writes the whole document to FilePath. The document's Save result;
  /// E_FAIL without writing when an existing file could not be loaded or
  /// FilePath is ""; S_FALSE when anything is raised.
  HRESULT Save();

  /// The second load, after a pause of a second, when the first failed and
  /// none was made yet; nothing otherwise. True when the file is loaded.
  bool LoadAgainAfterPause(const SettingsFileReader& read = ReadSettingsFileByName);

  /// False when a file stood at loadFrom but no load could read it.
  bool IsReadable() const { return !KeepsUnreadableFile; }
  /// True once a load succeeded.
  bool IsLoaded() const { return loaded_; }
  /// Why the last load could not read the file; no failure when it was read
  /// (whether or not it then loaded).
  platform::SystemError ReadError() const { return readError_; }

  /// The parsed file (empty after a failed load).
  XMLDocument Document;
  /// Where Save writes: the data folder's GeneralSettings.xml.
  std::wstring FilePath;

 private:
  /// One load of loadFrom_; keeps whether the file is unreadable.
  bool Load(const SettingsFileReader& read);

  std::wstring loadFrom_;
  bool loaded_ = false;
  bool loadedAgain_ = false;
  platform::SystemError readError_;
  /// Set when a file stood at loadFrom but neither load could read it: saving
  /// would replace the connector's settings with the few values set here.
  bool KeepsUnreadableFile = false;
};

}  // namespace kalinor
