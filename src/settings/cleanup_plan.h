// What an uninstall's cleanup would do now, worked out without changing
// anything: which settings files it would load, take over or seed, and what
// it would do with every listed database file. The database decisions are
// the cleanup's own (DecideDatabase), so the plan and the uninstall agree.
#pragma once

#include <string>
#include <vector>

#include "settings/database_confinement.h"

namespace kalinor {

/// Where a settings file would come from.
enum class SettingsFileSource {
  kLoad,      ///< it stands in the data folder and is loaded there
  kTakeOver,  ///< moved in from the older data folder, with its databases
  kSeed,      ///< copied from a seed folder
  kCreate,    ///< none anywhere: written new, holding only what the cleanup sets
  kNone,      ///< none anywhere and none written (or no data folder)
};

struct SettingsFilePlan {
  /// The file in the data folder; "" when there is no data folder.
  std::wstring FilePath;
  SettingsFileSource Source = SettingsFileSource::kNone;
  /// The file taken over or seeded from; "" for kLoad and kNone.
  std::wstring SourcePath;
};

struct CleanupPlan {
  SettingsFilePlan StoreSettingsFile;
  SettingsFilePlan GeneralSettingsFile;
  /// One decision per listed store, in document order; empty when the store
  /// list cannot be read.
  std::vector<DatabaseDecision> Databases;
  /// False when a store list exists but cannot be read.
  bool StoreListReadable = true;
};

/// The plan over DataFolders::Instance(). Reads files and nothing else.
/// Raises what building DataFolders raises.
CleanupPlan PlanCleanup();

}  // namespace kalinor
