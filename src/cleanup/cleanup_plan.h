// The uninstall's cleanup as a plan: the ordered list of every file
// operation it will perform, worked out by reading only. The uninstall
// carries out exactly this plan (cleanup_execution.h), and kalinor-query's
// plan command prints it: the dry run and the run are one object.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "cleanup/cleanup_gate.h"
#include "datafolder/data_folders.h"
#include "platform/held_folder.h"
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
  kSeed,                   ///< copy Path to Destination, never over a file there
  kTakeOver,               ///< copy the older store list (Path) to Destination, likewise
  kMoveDatabase,           ///< move a store's database from Path to Destination
  kSaveTakenOverList,      ///< save the store list at Path, pointing at the moved databases
  kRemoveOlderList,        ///< delete the older folder's store list at Path
  kDeleteDatabase,         ///< delete a store's database at Path
  kSaveClearedList,        ///< save the store list at Path, every removable store gone
  kSaveClearedArchiveUrl,  ///< save GeneralSettings.xml at Path with the archive address blank
  kRefuseMove,             ///< a store's database at Path stays where it is (Reason)
  kRefuseDelete,           ///< a store's database at Path stays (Reason); the cleanup is undone
  kLeave,                  ///< a settings file at Path is left as it is (Reason); undone
  kRefuseFolder,           ///< a connector folder is not used: Path is the link (Reason); undone
};

/// The uninstall's two cleanup steps, in the order they run; each operation
/// belongs to one.
enum class CleanupStep {
  kClearStoreSettings,  ///< the store list and its databases
  kClearArchiveUrl,     ///< the archive server's address in the general settings
};

/// A store of the list as planning read it.
struct PlannedStore {
  /// Its dbFileName value, as the list names it.
  std::wstring DbFileName;
  /// True when the cleared list leaves it out: its id names it alone.
  bool LeavesList = false;
};

/// Stands for "no store" in FileOperation::Store.
inline constexpr std::size_t kNoStore = static_cast<std::size_t>(-1);

struct FileOperation {
  FileAction Action;
  CleanupStep Step;
  /// The file acted on: the source of a copy or move.
  std::wstring Path;
  /// Where a copy or move puts it; "" for the other actions.
  std::wstring Destination;
  /// Why it is refused or left; nullptr for the other actions.
  const wchar_t* Reason = nullptr;
  /// The store (of CleanupPlan::Stores) a database operation is for; kNoStore for none.
  std::size_t Store = kNoStore;
  /// For kLeave: the DOM's failure that made the file unreadable; S_OK when
  /// it simply could not be loaded.
  HRESULT Failure = S_OK;
  /// For kLeave: why the file could not be read, when the read failed; no
  /// failure when it was read but would not load (not well-formed, or past
  /// a bound on its size, depth or attributes).
  platform::SystemError ReadError;
};

/// The plan: what planning read, and every operation the run will perform.
/// Making it changes nothing on disk or in the documents; the run applies
/// the operations to the documents it carries and to the files. Move-only.
struct CleanupPlan {
  /// The folders the plan was made over.
  DataFolders Folders;
  /// The one gate over those folders, held since planning: the run acts
  /// through it.
  std::unique_ptr<const CleanupGate> Gate;
  SettingsFilePlan StoreSettingsFile;
  SettingsFilePlan GeneralSettingsFile;
  /// False when a store list exists but cannot be read.
  bool StoreListReadable = true;
  /// Every store of the list, in list order.
  std::vector<PlannedStore> Stores;
  /// Every file operation, the store list's first.
  std::vector<FileOperation> Operations;
  /// The store list as read, which the run changes and saves; null when there
  /// is none to save.
  std::unique_ptr<StoreSettings> StoreList;
  /// The general settings as read; null when there is no data folder.
  std::unique_ptr<GeneralSettings> General;
};

/// The plan over the folders: reads the settings files and looks at the
/// listed databases, once each and without waiting, and changes nothing.
/// Raises only what the string operations raise.
CleanupPlan PlanCleanup(const DataFolders& folders);

/// For a run whose plan could not load GeneralSettings.xml: reads it once
/// more, a second later (the connector may hold it open while it writes),
/// and plans the kClearArchiveUrl step anew from what it read. Nothing when
/// the plan loaded it, or has no data folder.
void ReadArchiveSettingsAgain(CleanupPlan& plan);

}  // namespace kalinor
