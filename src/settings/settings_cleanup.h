// The uninstall cleanup of the connector's local state: a plan
// (cleanup_plan.h) carried out operation by operation, each one checked
// again through the gate just before it acts, since a file can change
// between the plan and the act.
#pragma once

#include <functional>
#include <optional>
#include <utility>

#include "settings/cleanup_plan.h"

namespace kalinor {

/// Called with each operation after the gate let it through and before it
/// acts: the seam where the tests' adversary changes the folders. Empty in
/// the tool.
using BeforeActHook = std::function<void(const FileOperation&)>;

/// Carries out the plan's store-list operations in order: the copy that
/// brings the list into the data folder, the takeover's moves, saves and the
/// older list's removal, each database's deletion, the cleared list's save.
/// A copy that fails or is refused ends the store-list part there. Every
/// refusal, and every act the system refused, writes one debugger line
/// naming the path and why (the system's error); a database that could not
/// be deleted keeps its store in the saved list. True when
/// nothing was left undone: every listed database deleted or already absent,
/// nothing refused, and the list saved or there was none.
bool ExecuteStoreListCleanup(CleanupPlan& plan, const BeforeActHook& beforeAct = {});

/// Carries out the plan's general-settings operations: the seed copy, if
/// any, then the save with PellucorURL set to empty text. True when the file
/// was saved; false when there is no data folder, an existing file could not
/// be read (it is then left as it was), or the copy or save failed.
bool ExecuteGeneralSettingsCleanup(CleanupPlan& plan, const BeforeActHook& beforeAct = {});

/// The two cleanup steps of an uninstall run, over one plan made at the
/// first step that needs it, on folders resolved then (creating the data
/// folder). Each step raises only what the string operations raise; a step
/// after one that raised before the plan was made plans again.
class UninstallCleanupSteps {
 public:
  /// Folders resolved by resolve when the plan is made (by default as the
  /// tool resolves them, creating the data folder).
  explicit UninstallCleanupSteps(std::function<DataFolders()> resolve = ResolveCreatingFolders)
      : resolve_(std::move(resolve)) {}

  /// Writes "Clear store settings >>", carries out the store-list part and
  /// writes "Clear store settings <<". True when nothing was left undone.
  bool ClearStoreSettings();
  /// Carries out the general-settings part. True when the file was saved.
  bool ClearArchiveUrl();

 private:
  static DataFolders ResolveCreatingFolders();
  CleanupPlan& Plan();
  std::function<DataFolders()> resolve_;
  std::optional<CleanupPlan> plan_;
};

}  // namespace kalinor
