// The uninstall's cleanup as the run sequence sees it: two steps, in this
// order, after the service is removed. UninstallCleanup is the interface (the
// run sequence's tests give their own); PlannedUninstallCleanup carries out
// one plan over the connector's folders.
#pragma once

#include <functional>
#include <optional>

#include "cleanup/cleanup_plan.h"

namespace kalinor {

/// The two steps that clear the connector's local state on uninstall.
class UninstallCleanup {
 public:
  virtual ~UninstallCleanup() = default;
  /// Deletes the listed stores' databases and empties the store list. True
  /// when nothing was left undone.
  virtual bool ClearStoreSettings() = 0;
  /// Blanks the archive server's address. True when the file was saved.
  virtual bool ClearArchiveUrl() = 0;
};

/// The two steps over one plan, made at the first step, on folders resolved
/// then (creating the data folder). Each step raises only what the string
/// operations raise; a step after one that raised before the plan was made
/// plans again.
class PlannedUninstallCleanup final : public UninstallCleanup {
 public:
  /// Folders resolved by resolve when the plan is made (by default as the
  /// tool resolves them, creating the data folder).
  explicit PlannedUninstallCleanup(std::function<DataFolders()> resolve = ResolveCreatingFolders);

  /// Writes "Clear store settings >>", carries out the plan's
  /// kClearStoreSettings step and writes "Clear store settings <<".
  bool ClearStoreSettings() override;
  /// Reads GeneralSettings.xml once more when the plan could not load it,
  /// then carries out the plan's kClearArchiveUrl step.
  bool ClearArchiveUrl() override;

 private:
  static DataFolders ResolveCreatingFolders();
  CleanupPlan& Plan();
  std::function<DataFolders()> resolve_;
  std::optional<CleanupPlan> plan_;
};

}  // namespace kalinor
