// StoreSettings: StoreSettings.xml, loaded, walked and changed store by
// store, and saved. It touches no other file: where the list comes from (the
// data folder, a takeover, a seed) is the cleanup plan's business.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/hresult.h"
#include "settings/settings_file_reader.h"
#include "xml/xml_document.h"

namespace kalinor {

/// A store as the list names it.
struct ListedStore {
  /// Its id attribute; "" when absent.
  std::wstring Id;
  /// The text of its dbFileName element; "" when absent.
  std::wstring DbFileName;
};

class StoreSettings {
 public:
  /// Loads the file at loadFrom, read by read; Save writes filePath. Not
  /// loaded when it cannot be read.
  StoreSettings(const std::wstring& loadFrom, std::wstring filePath,
                const SettingsFileReader& read = ReadSettingsFileByName);
  /// Loads and later saves the file at filePath.
  explicit StoreSettings(const std::wstring& filePath) : StoreSettings(filePath, filePath) {}
  StoreSettings(const StoreSettings&) = delete;
  StoreSettings& operator=(const StoreSettings&) = delete;

  /// folder + separator + "StoreSettings.xml".
  static std::wstring FileIn(const std::wstring& folder);

  /// Number of child nodes of every kind under QEVConfiguration; -1 when it
  /// is missing, not loaded, or on a raised failure.
  int StoreCount();

  /// Makes the Store at the zero-based position current. False (current
  /// store unchanged) when there is none, not loaded, or on a raised failure.
  bool SelectStore(int index);

  /// Text of the current store's child element; "" when there is none, not
  /// loaded, or on a raised failure.
  std::wstring GetValue(std::wstring name);

  /// The current store's attribute; "" when absent, not loaded, or on a
  /// raised failure.
  std::wstring GetAttribute(std::wstring name);

  /// Sets the text of the current store's child element, creating it. The
  /// SetNodeText result; E_FAIL when not loaded; S_FALSE on a raised failure.
  HRESULT SetValue(std::wstring name, std::wstring value);

  /// Removes the first Store whose id is id itself, or else its byte form
  /// read from the pair form. True when one was removed; false when none
  /// matched, the document refused, not loaded, or on a raised failure.
  bool RemoveStore(std::wstring id);

  /// Writes the whole document to FilePath. The document's Save result;
  /// E_FAIL when not loaded; S_FALSE on a raised failure.
  HRESULT Save();

  /// Every Store, in document order, read in one pass that changes nothing.
  /// Empty when not loaded; a DOM failure ends it early (Document.ReadFailure).
  [[nodiscard]] std::vector<ListedStore> ReadStores();

  /// Makes every Store current once, in document order, and calls visit,
  /// which returns true when it removed the current store. In one linear
  /// pass: a store that stays is moved behind the others, so the stores keep
  /// their order among themselves, after the root's other child nodes.
  /// Nothing happens when not loaded.
  void VisitStores(const std::function<bool()>& visit);

  /// Removes the stores marked true, by their zero-based place in document
  /// order (a place past the end of marked stays), in one linear pass with
  /// one selection per store; the stores that stay keep their order among
  /// themselves, after the root's other child nodes. The number removed; 0
  /// when not loaded. A store the document refuses to remove stays.
  [[nodiscard]] int RemoveStoresAt(const std::vector<bool>& marked);

  /// The parsed file.
  XMLDocument Document;
  /// Where Save writes: the data folder's StoreSettings.xml.
  std::wstring FilePath;
  /// Node path of the store last selected; empty until then.
  std::wstring CurrentStorePath;
  /// 1 once FilePath has been loaded into Document, else 0.
  std::int32_t IsLoaded = 0;

  /// Why the file could not be read; no failure when it was read (whether
  /// or not it then loaded).
  platform::SystemError ReadError() const { return readError_; }

 private:
  platform::SystemError readError_;

  /// Removes the first Store whose id attribute is id. True when one was
  /// removed; false when none matched or the document refused.
  bool RemoveFirstStoreWithId(const std::wstring& id);

  /// The number of Store elements (StoreCount counts every child node); 0
  /// when not loaded.
  int CountStoreElements();
};

}  // namespace kalinor
