#include "cleanup/cleanup_execution.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/held_folder.h"
#include "report/debug_trace.h"
#include "settings/settings_names.h"

namespace kalinor {

namespace {

// Why a settings file could not be read, in the words of its cause first
// (a bound, a pipe, a folder, a link), then the system's own.
std::wstring ReadFailureReason(platform::SystemError error) {
  const std::wstring system = platform::DescribeSystemError(error);
  switch (error.Kind()) {
    case platform::ErrorKind::kTooLarge:
      return L"larger than the " + std::to_wstring(platform::kWholeFileReadLimit >> 20) +
             L" MiB a settings file may have: " + system;
    case platform::ErrorKind::kOther:
      return L"not a regular file (a pipe, a device or a socket): " + system;
    case platform::ErrorKind::kIsFolder:
      return L"a folder, not a file: " + system;
    case platform::ErrorKind::kIsLink:
      return L"a link, which is never followed: " + system;
    case platform::ErrorKind::kDenied:
      return L"this account may not read it: " + system;
    default:
      return system;
  }
}

// What the run has done with one store's database so far.
struct StoreInRun {
  /// Where its database stayed when its planned move did not happen.
  std::wstring StayedAt;
  /// Where its database was moved to.
  std::wstring MovedTo;
  /// Set when its database could not be deleted: the store stays listed.
  bool KeptListed = false;
};

class Execution {
 public:
  Execution(CleanupPlan& plan, const BeforeActHook& beforeAct)
      : plan_(plan), gate_(*plan.Gate), beforeAct_(beforeAct), stores_(plan.Stores.size()) {}

  // Performs the step's operations in plan order; true when nothing was left undone.
  bool Run(CleanupStep step) {
    for (const FileOperation& operation : plan_.Operations) {
      if (operation.Step != step) continue;
      if (!Perform(operation)) {
        complete_ = false;
        break;
      }
    }
    return complete_;
  }

 private:
  // False when the operation ends its step: only a copy that failed does.
  bool Perform(const FileOperation& op) {
    switch (op.Action) {
      case FileAction::kSeed:
      case FileAction::kTakeOver:
        return Copy(op);
      case FileAction::kMoveDatabase:
        Move(op);
        break;
      case FileAction::kSaveTakenOverList:
        SaveTakenOverList(op);
        break;
      case FileAction::kRemoveOlderList:
        RemoveOlderList(op);
        break;
      case FileAction::kDeleteDatabase:
        Delete(op);
        break;
      case FileAction::kSaveClearedList:
        SaveClearedList(op);
        break;
      case FileAction::kSaveClearedArchiveUrl:
        SaveClearedArchiveUrl(op);
        break;
      case FileAction::kRefuseMove:
        ReportNotMoved(op.Reason, op.Path);
        break;
      case FileAction::kRefuseDelete:
        ReportNotDeleted(op.Reason, op.Path);
        break;
      case FileAction::kLeave:
        ReportLeft(op);
        break;
      case FileAction::kRefuseFolder:
        DebugTraceError(L"Folder not used (%ls): %ls", op.Reason, op.Path.c_str());
        complete_ = false;
        break;
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

  // A settings file the plan leaves as it is: the DOM's failure, the read's,
  // or a file that would not load. A run without a data folder says so where
  // the folders are resolved.
  void ReportLeft(const FileOperation& op) {
    complete_ = false;
    if (op.Failure != S_OK) return ReportReadFailure(op.Path, op.Failure);
    if (op.Path.empty()) return;
    const std::wstring why = op.ReadError.Failed()
                                 ? ReadFailureReason(op.ReadError)
                                 : std::wstring(
                                       L"not well-formed, or past a bound on its size, "
                                       L"depth or attributes");
    DebugTraceError(L"Settings file left as it is (%ls): %ls", why.c_str(), op.Path.c_str());
  }

  // The system refused an act the gate let through; the file stays, and the
  // next run tries again.
  void ReportFailed(const wchar_t* what, platform::SystemError error, const std::wstring& path) {
    DebugTraceError(L"%ls (%ls): %ls", what, platform::DescribeSystemError(error).c_str(),
                    path.c_str());
    complete_ = false;
  }

  // The tests' adversary steps in between the gate's verdict and the act.
  void BeforeAct(const FileOperation& op) {
    if (beforeAct_) beforeAct_(op);
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

  // The source is read through its held folder and must load before
  // anything is written: a list the run cannot read is never copied in.
  bool Copy(const FileOperation& op) {
    const GateVerdict verdict = gate_.CheckCopy(op.Path, op.Destination);
    if (verdict.Refused()) {
      ReportSettingsRefusal(L"copied", Describe(verdict.Refusal), op.Path);
      return false;
    }
    BeforeAct(op);
    std::string bytes;
    platform::SystemError error = verdict.Entry.Folder->ReadWhole(verdict.Entry.Relative, bytes);
    if (error.Failed()) {
      ReportFailed(L"Settings file not copied", error, op.Path);
      return false;
    }
    if (XMLDocument parsed; parsed.LoadBytes(bytes) != S_OK) {
      ReportSettingsRefusal(L"copied", L"it cannot be read", op.Path);
      return false;
    }
    error = gate_.HeldDataFolder().WriteAtomically(platform::LastPathPart(op.Destination), bytes,
                                                   platform::ExistingFile::kKeep);
    if (!error.Failed()) return true;
    ReportFailed(L"Settings file not copied", error, op.Destination);
    return false;
  }

  // A move that fails leaves the database where it was; the delete then
  // goes there, and its own outcome counts.
  void Move(const FileOperation& op) {
    StoreInRun& store = stores_.at(op.Store);
    store.StayedAt = op.Path;
    const platform::FileKind kind = platform::QueryFileKind(op.Path);
    if (kind == platform::FileKind::kMissing) return;  // gone since the plan
    const GateVerdict verdict = gate_.CheckMove(op.Path, kind, op.Destination);
    if (verdict.Refused()) return ReportNotMoved(Describe(verdict.Refusal), op.Path);
    BeforeAct(op);
    const platform::SystemError error = verdict.Entry.Folder->MoveTo(
        verdict.Entry.Relative, gate_.HeldDataFolder(), platform::LastPathPart(op.Destination));
    if (error.Failed()) {
      const std::wstring why = platform::DescribeSystemError(error);
      return ReportNotMoved(why.c_str(), op.Path);
    }
    store.StayedAt.clear();
    store.MovedTo = op.Destination;
  }

  // Saved whatever its outcome: until the older list goes, a list in the
  // data folder that still names the older folder is cleared all the same.
  void SaveTakenOverList(const FileOperation& op) {
    StoreSettings& list = *plan_.StoreList;
    std::size_t store = 0;
    HRESULT pointed = S_OK;
    list.VisitStores([&] {
      if (store < stores_.size() && !stores_[store].MovedTo.empty()) {
        const HRESULT set = list.SetValue(settings_names::kDatabaseFile, stores_[store].MovedTo);
        if (pointed == S_OK) pointed = set;  // the first failure is named
      }
      ++store;
      return false;
    });
    if (ReadFailed(list.Document, op.Path)) return;
    // A list that still names the older folder is cleared all the same, but
    // the run is not complete.
    if (pointed != S_OK) {
      DebugTraceError(L"Error setting dbFileName in %ls: %#X", op.Path.c_str(),
                      HResultBits(pointed));
      complete_ = false;
    }
    if (const GateRefusal refusal = gate_.RefusalToSave(op.Path); refusal != GateRefusal::kNone)
      return ReportSettingsRefusal(L"saved", Describe(refusal), op.Path);
    Save(list.Document, op);
  }

  void RemoveOlderList(const FileOperation& op) {
    const GateVerdict verdict = gate_.CheckRemoveOlderList(op.Path);
    if (verdict.Refused())
      return ReportSettingsRefusal(L"removed", Describe(verdict.Refusal), op.Path);
    BeforeAct(op);
    const platform::SystemError error = verdict.Entry.Folder->Delete(verdict.Entry.Relative);
    if (error.Failed()) ReportFailed(L"Settings file not removed", error, op.Path);
  }

  // A database whose planned move did not happen is deleted where it stayed.
  // One that is gone by the time its delete comes (another run, or the
  // connector, deleted it) is what the delete wanted: its store leaves the
  // list and nothing is said. One that cannot be deleted keeps its store in
  // the list, so that the next run tries again.
  void Delete(const FileOperation& op) {
    StoreInRun& store = stores_.at(op.Store);
    const std::wstring& path = store.StayedAt.empty() ? op.Path : store.StayedAt;
    // Gone only where the system says so: a file that cannot be looked at
    // (no access, a network failure) is refused below and stays listed.
    if (platform::IsGone(path)) return;
    const GateVerdict verdict = gate_.CheckDelete(path, platform::QueryFileKind(path));
    if (verdict.Refused()) {
      if (platform::IsGone(path)) return;
      return ReportNotDeleted(Describe(verdict.Refusal), path);
    }
    BeforeAct(op);
    const platform::SystemError error = verdict.Entry.Folder->Delete(verdict.Entry.Relative);
    if (!error.Failed() || error.Kind() == platform::ErrorKind::kNotFound) return;
    ReportFailed(L"Database file not deleted", error, path);
    store.KeptListed = true;
  }

  // The stores whose id names them leave the list, unless their database
  // could not be deleted.
  void SaveClearedList(const FileOperation& op) {
    StoreSettings& list = *plan_.StoreList;
    std::vector<bool> leaving(plan_.Stores.size());
    for (std::size_t store = 0; store < leaving.size(); ++store)
      leaving[store] = plan_.Stores[store].LeavesList && !stores_[store].KeptListed;
    const int removed = list.RemoveStoresAt(leaving);
    if (ReadFailed(list.Document, op.Path)) return;
    // A store the document would not remove stays listed: the next run
    // finds its database gone and tries again.
    if (removed != static_cast<int>(std::count(leaving.begin(), leaving.end(), true))) {
      DebugTraceError(L"Stores left in the list (the document refused their removal): %ls",
                      op.Path.c_str());
      complete_ = false;
    }
    if (const GateRefusal refusal = gate_.RefusalToSave(op.Path); refusal != GateRefusal::kNone)
      return ReportSettingsRefusal(L"saved", Describe(refusal), op.Path);
    Save(list.Document, op);
  }

  // Written whole through the held data folder, never by a name looked up
  // again: a data folder swapped for a link meanwhile gets nothing.
  void Save(XMLDocument& document, const FileOperation& op) {
    std::string bytes;
    if (document.Serialize(bytes) != S_OK) {
      DebugTraceError(L"Settings file not saved (its content cannot be written out): %ls",
                      op.Path.c_str());
      complete_ = false;
      return;
    }
    BeforeAct(op);
    const platform::SystemError error = gate_.HeldDataFolder().WriteAtomically(
        platform::LastPathPart(op.Path), bytes, platform::ExistingFile::kReplace);
    if (error.Failed()) ReportFailed(L"Settings file not saved", error, op.Path);
  }

  void SaveClearedArchiveUrl(const FileOperation& op) {
    GeneralSettings& settings = *plan_.General;
    const HRESULT cleared = settings.SetValue(settings_names::kArchiveUrl, L"");
    if (ReadFailed(settings.Document, op.Path)) return;
    if (cleared != S_OK) {
      DebugTraceError(L"Error clearing PellucorURL in %ls: %#X", op.Path.c_str(),
                      HResultBits(cleared));
      complete_ = false;
      return;
    }
    if (const GateRefusal refusal = gate_.RefusalToSave(op.Path); refusal != GateRefusal::kNone)
      return ReportSettingsRefusal(L"saved", Describe(refusal), op.Path);
    Save(settings.Document, op);
  }

  CleanupPlan& plan_;
  const CleanupGate& gate_;
  const BeforeActHook& beforeAct_;
  std::vector<StoreInRun> stores_;  // by the plan's store
  bool complete_ = true;
};

}  // namespace

bool CarryOut(CleanupPlan& plan, CleanupStep step, const BeforeActHook& beforeAct) {
  return Execution(plan, beforeAct).Run(step);
}

}  // namespace kalinor
