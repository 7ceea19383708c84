// GeneralSettings: GeneralSettings.xml in the data folder, seeded from the
// older data folder or the installation when missing, changed by key.
#pragma once

#include <string>

#include "platform/hresult.h"
#include "xml/xml_document.h"

namespace kalinor {

class GeneralSettings {
 public:
  /// Finds the file, seeds it when missing (older data folder first, then the
  /// installation; never over an existing file, and a copy appears whole or
  /// not at all) and loads it, retrying once after a second. Without a data
  /// folder it loads nothing and FilePath stays "". Reports nothing; raises
  /// what building DataFolders raises.
  GeneralSettings();
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
  /// there is no data folder; S_FALSE when anything is raised.
  HRESULT Save();

  /// The parsed file (empty after a failed load).
  XMLDocument Document;
  /// DataFolder() + separator + "GeneralSettings.xml".
  std::wstring FilePath;

 private:
  /// Copies the older data folder's file to destination (fail-if-exists).
  /// True when it was copied.
  bool CopyFromPellucorFolder(const std::wstring& destination);

  /// Set when a file stood at FilePath but neither load could read it: saving
  /// would replace the connector's settings with the few values set here.
  bool KeepsUnreadableFile = false;
};

}  // namespace kalinor
