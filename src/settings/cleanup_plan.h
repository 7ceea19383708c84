// The uninstall's cleanup as a plan: the ordered list of every file
// operation it will perform, worked out by reading only. The uninstall
// carries out exactly this plan (settings_cleanup.h), and kalinor-query's
// plan command prints it: the dry run and the run are one object.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "datafolder/data_folders.h"
#include "platform/held_folder.h"
#include "settings/cleanup_gate.h"
#include "settings/general_settings.h"
#include "settings/store_settings.h"

namespace kalinor {

/// Where a settings file comes from.
enum class SettingsFileSource {
  kLoad,      ///< it stands in the data folder and is loaded there
  kTakeOver,  ///< copied in from the older data folder, with its databases
  kSeed,      ///< copied from a seed folder
  kCreate,    ///< none anywhere: written new, holding only what the cleanup sets
  kNone,      ///< none anywhere and none written (or no data folder)
};

struct SettingsFilePlan {
  /// The file in the data folder; "" when there is no data folder.
  std::wstring FilePath;
  SettingsFileSource Source = SettingsFileSource::kNone;
  /// The file taken over or seeded from; "" for kLoad, kCreate and kNone.
  std::wstring SourcePath;
};

/// One file operation, in the order the cleanup performs them.
enum class FileAction {
  kSeed,                ///< copy Path to Destination, never over a file there
  kTakeOver,            ///< copy the older store list (Path) to Destination, likewise
  kMoveDatabase,        ///< move a store's database from Path to Destination
  kSaveTakenOverList,   ///< save the store list at Path, pointing at the moved databases
  kRemoveOlderList,     ///< delete the older folder's store list at Path
  kDeleteDatabase,      ///< delete a store's database at Path
  kSaveClearedList,     ///< save the store list at Path, every removable store gone
  kSaveGeneralSettings, ///< save GeneralSettings.xml at Path with the archive address blank
  kRefuseMove,          ///< a store's database at Path stays where it is (Reason)
  kRefuseDelete,        ///< a store's database at Path stays (Reason); the cleanup is undone
  kLeave,               ///< a settings file at Path is left as it is (Reason); undone
};

/// Which settings file an operation belongs to.
enum class CleanupPart { kStoreList, kGeneralSettings };

struct FileOperation {
  FileAction Action;
  CleanupPart Part;
  /// The file acted on: the source of a copy or move.
  std::wstring Path;
  /// Where a copy or move puts it; "" for the other actions.
  std::wstring Destination;
  /// Why it is refused or left; nullptr for the other actions.
  const wchar_t* Reason = nullptr;
  /// The store (its place in the list) a database operation is for; -1 for none.
  int Store = -1;
  /// For kLeave: the DOM's failure that made the file unreadable; S_OK when
  /// it simply could not be loaded.
  HRESULT Failure = S_OK;
  /// For kLeave: why the file could not be read, when the read failed; no
  /// failure when it was read but would not load (not well-formed, or past
  /// a bound on its size, depth or attributes).
  platform::SystemError ReadError;
};

struct CleanupPlan {
  /// The folders the plan was made over.
  DataFolders Folders;
  SettingsFilePlan StoreSettingsFile;
  SettingsFilePlan GeneralSettingsFile;
  /// False when a store list exists but cannot be read.
  bool StoreListReadable = true;
  /// Every file operation, the store list's first.
  std::vector<FileOperation> Operations;
  /// Per store of the list, in list order: true when the cleared list leaves
  /// it out (its id names it), false when it stays.
  std::vector<bool> ClearedStores;
  /// The store list as loaded, to be changed and saved by the operations;
  /// null when there is none to save.
  std::unique_ptr<StoreSettings> StoreList;
  /// The general settings as loaded; null when there is no data folder.
  std::unique_ptr<GeneralSettings> General;
};

/// The plan over the folders: reads the settings files and looks at the
/// listed databases, and changes nothing. Raises only what the string
/// operations raise.
CleanupPlan PlanCleanup(const DataFolders& folders);

}  // namespace kalinor
