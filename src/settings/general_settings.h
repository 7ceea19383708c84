// GeneralSettings: GeneralSettings.xml, loaded, changed by key and saved. It
// touches no other file: seeding a missing file is the cleanup plan's
// business.
#pragma once

#include <string>

#include "platform/hresult.h"
#include "settings/settings_file_reader.h"
#include "xml/xml_document.h"

namespace kalinor {

class GeneralSettings {
 public:
  /// Loads the file at loadFrom (read by read), retrying once after a second (the connector
  /// may hold it open); Save writes filePath. A file that stands at loadFrom
  /// but cannot be read is kept: Save then refuses.
  GeneralSettings(const std::wstring& loadFrom, std::wstring filePath,
                  const SettingsFileReader& read = ReadSettingsFileByName);
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

  /// False when a file stood at loadFrom but neither load could read it.
  bool IsReadable() const { return !KeepsUnreadableFile; }

  /// The parsed file (empty after a failed load).
  XMLDocument Document;
  /// Where Save writes: the data folder's GeneralSettings.xml.
  std::wstring FilePath;

 private:

  /// Set when a file stood at loadFrom but neither load could read it: saving
  /// would replace the connector's settings with the few values set here.
  bool KeepsUnreadableFile = false;
};

}  // namespace kalinor
