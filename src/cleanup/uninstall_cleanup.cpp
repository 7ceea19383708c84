#include "cleanup/uninstall_cleanup.h"

#include <utility>

#include "cleanup/cleanup_execution.h"
#include "platform/folder_owner.h"
#include "report/debug_trace.h"

namespace kalinor {

PlannedUninstallCleanup::PlannedUninstallCleanup(std::function<DataFolders()> resolve)
    : resolve_(std::move(resolve)) {}

DataFolders PlannedUninstallCleanup::ResolveCreatingFolders() {
  // A privileged run in another account's data folder acts there as that
  // account, decided on the folders as they stand, before anything is made.
  if (const auto owner = platform::ActAsOwnerOf(DataFolders::DataFolderAsItStands()))
    DebugTrace(L"Acting in the data folder as its owner: %ls (%lu)", owner->Name.c_str(),
               owner->Id);
  return DataFolders::Resolve(FolderCreation::kCreate);
}

CleanupPlan& PlannedUninstallCleanup::Plan() {
  if (!plan_) plan_.emplace(PlanCleanup(resolve_()));
  return *plan_;
}

bool PlannedUninstallCleanup::ClearStoreSettings() {
  DebugTrace(L"Clear store settings >>");
  const bool done = CarryOut(Plan(), CleanupStep::kClearStoreSettings);
  DebugTrace(L"Clear store settings <<");
  return done;
}

bool PlannedUninstallCleanup::ClearArchiveUrl() {
  CleanupPlan& plan = Plan();
  ReadArchiveSettingsAgain(plan);
  return CarryOut(plan, CleanupStep::kClearArchiveUrl);
}

}  // namespace kalinor
