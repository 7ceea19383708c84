#include "settings/settings_cleanup.h"

#include <map>
#include <string>

#include "platform/files.h"
#include "report/debug_trace.h"

namespace kalinor {

namespace {

const wchar_t kDatabaseValueName[] = L"dbFileName";

class Execution {
 public:
  explicit Execution(CleanupPlan& plan)
      : plan_(plan), gate_(plan.Folders.DataFolder(), plan.Folders.PellucorDataFolder()) {}

  // Performs the part's operations in plan order; true when nothing was left undone.
  bool Run(CleanupPart part) {
    for (const FileOperation& operation : plan_.Operations) {
      if (operation.Part != part) continue;
      if (!Perform(operation)) {
        complete_ = false;
        break;
      }
    }
    return complete_;
  }

 private:
  // False when the operation ends its part.
  bool Perform(const FileOperation& op) {
    switch (op.Action) {
      case FileAction::kSeed:
      case FileAction::kTakeOver:
        return Copy(op);
      case FileAction::kMoveDatabase:
        Move(op);
        return true;
      case FileAction::kSaveTakenOverList:
        SaveTakenOverList(op);
        return true;
      case FileAction::kRemoveOlderList:
        RemoveOlderList(op);
        return true;
      case FileAction::kDeleteDatabase:
        Delete(op);
        return true;
      case FileAction::kSaveClearedList:
        SaveClearedList(op);
        return true;
      case FileAction::kSaveGeneralSettings:
        SaveGeneralSettings(op);
        return true;
      case FileAction::kRefuseMove:
        ReportNotMoved(op.Reason, op.Path);
        return true;
      case FileAction::kRefuseDelete:
        ReportNotDeleted(op.Reason, op.Path);
        return true;
      case FileAction::kLeave:
        if (op.Failure != S_OK) ReportReadFailure(op.Path, op.Failure);
        complete_ = false;
        return true;
    }
    return true;
  }

  static void ReportNotMoved(const wchar_t* reason, const std::wstring& path) {
    DebugTraceError(L"Database file not moved (%ls): %ls", reason, path.c_str());
  }

  void ReportNotDeleted(const wchar_t* reason, const std::wstring& path) {
    DebugTraceError(L"Database file not deleted (%ls): %ls", reason, path.c_str());
    complete_ = false;
  }

  // A save or copy of a settings file that the gate refuses.
  void ReportSettingsRefusal(const wchar_t* what, const wchar_t* reason, const std::wstring& path) {
    DebugTraceError(L"Settings file not %ls (%ls): %ls", what, reason, path.c_str());
    complete_ = false;
  }

  void ReportReadFailure(const std::wstring& path, HRESULT failure) {
    DebugTraceError(L"Error reading settings file %ls: %#X", path.c_str(), HResultBits(failure));
    complete_ = false;
  }

  // A document the DOM failed to read is not saved: what the walk took for
  // absent may be there. True when it failed (reported).
  bool ReadFailed(const XMLDocument& document, const std::wstring& path) {
    const HRESULT failure = document.ReadFailure();
    if (failure == S_OK) return false;
    ReportReadFailure(path, failure);
    return true;
  }

  bool Copy(const FileOperation& op) {
    if (const wchar_t* refusal = gate_.RefusalToCopy(op.Path, op.Destination)) {
      ReportSettingsRefusal(L"copied", refusal, op.Path);
      return false;
    }
    return platform::CopyFileAtomicallyNoReplace(op.Path, op.Destination);
  }

  void Move(const FileOperation& op) {
    const platform::FileKind kind = platform::QueryFileKind(op.Path);
    stayedAt_[op.Store] = op.Path;
    if (kind == platform::FileKind::kMissing) return;  // gone since the plan
    if (const wchar_t* refusal = gate_.RefusalToMove(op.Path, kind, op.Destination))
      return ReportNotMoved(refusal, op.Path);
    if (!platform::MoveFileTo(op.Path, op.Destination)) return;
    stayedAt_.erase(op.Store);
    movedTo_[op.Store] = op.Destination;
  }

  // Saved whatever its outcome: until the older list goes, a list in the
  // data folder that still names the older folder is cleared all the same.
  void SaveTakenOverList(const FileOperation& op) {
    StoreSettings& list = *plan_.StoreList;
    int store = 0;
    list.VisitStores([&] {
      const auto moved = movedTo_.find(store++);
      if (moved != movedTo_.end()) list.SetValue(kDatabaseValueName, moved->second);
      return false;
    });
    if (ReadFailed(list.Document, op.Path)) return;
    if (const wchar_t* refusal = gate_.RefusalToSave(op.Path))
      return ReportSettingsRefusal(L"saved", refusal, op.Path);
    list.Save();
  }

  void RemoveOlderList(const FileOperation& op) {
    if (const wchar_t* refusal = gate_.RefusalToRemoveOlderList(op.Path))
      return ReportSettingsRefusal(L"removed", refusal, op.Path);
    platform::DeleteFileAt(op.Path);
  }

  // A database whose planned move did not happen is deleted where it stayed.
  void Delete(const FileOperation& op) {
    const auto stayed = stayedAt_.find(op.Store);
    const std::wstring& path = stayed != stayedAt_.end() ? stayed->second : op.Path;
    const platform::FileKind kind = platform::QueryFileKind(path);
    if (kind == platform::FileKind::kMissing) return;
    if (const wchar_t* refusal = gate_.RefusalToDelete(path, kind))
      return ReportNotDeleted(refusal, path);
    if (!platform::DeleteFileAt(path)) complete_ = false;
  }

  void SaveClearedList(const FileOperation& op) {
    StoreSettings& list = *plan_.StoreList;
    list.RemoveStoresAt(plan_.ClearedStores);
    if (ReadFailed(list.Document, op.Path)) return;
    if (const wchar_t* refusal = gate_.RefusalToSave(op.Path))
      return ReportSettingsRefusal(L"saved", refusal, op.Path);
    if (list.Save() != S_OK) complete_ = false;
  }

  void SaveGeneralSettings(const FileOperation& op) {
    GeneralSettings& settings = *plan_.General;
    const HRESULT cleared = settings.SetValue(L"PellucorURL", L"");
    if (ReadFailed(settings.Document, op.Path)) return;
    if (cleared != S_OK) {
      DebugTraceError(L"Error clearing PellucorURL in %ls: %#X", op.Path.c_str(),
                      HResultBits(cleared));
      complete_ = false;
      return;
    }
    if (const wchar_t* refusal = gate_.RefusalToSave(op.Path))
      return ReportSettingsRefusal(L"saved", refusal, op.Path);
    if (settings.Save() != S_OK) complete_ = false;
  }

  CleanupPlan& plan_;
  const CleanupGate gate_;  // resolved afresh: the folders may have changed since the plan
  bool complete_ = true;
  std::map<int, std::wstring> movedTo_;   // store -> where its database was moved
  std::map<int, std::wstring> stayedAt_;  // store -> where its database stayed, move failed
};

}  // namespace

bool ExecuteStoreListCleanup(CleanupPlan& plan) {
  return Execution(plan).Run(CleanupPart::kStoreList);
}

bool ExecuteGeneralSettingsCleanup(CleanupPlan& plan) {
  return Execution(plan).Run(CleanupPart::kGeneralSettings);
}

DataFolders UninstallCleanupSteps::ResolveCreatingFolders() {
  return DataFolders::Resolve(FolderCreation::kCreate);
}

CleanupPlan& UninstallCleanupSteps::Plan() {
  if (!plan_) plan_.emplace(PlanCleanup(resolve_()));
  return *plan_;
}

bool UninstallCleanupSteps::ClearStoreSettings() {
  DebugTrace(L"Clear store settings >>");
  const bool done = ExecuteStoreListCleanup(Plan());
  DebugTrace(L"Clear store settings <<");
  return done;
}

bool UninstallCleanupSteps::ClearArchiveUrl() { return ExecuteGeneralSettingsCleanup(Plan()); }

}  // namespace kalinor
