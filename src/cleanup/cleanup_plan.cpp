#include "cleanup/cleanup_plan.h"

#include <utility>

#include "platform/files.h"
#include "settings/settings_names.h"

namespace kalinor {

namespace {

const wchar_t kNoDataFolder[] = L"no data folder";
const wchar_t kUnreadable[] = L"it cannot be read";

std::wstring FileInOrEmpty(std::wstring (*fileIn)(const std::wstring&),
                           const std::wstring& folder) {
  return folder.empty() ? std::wstring() : fileIn(folder);
}

// The first of the candidate sources that holds a file, in the order they
// are tried; kNone when there is none.
SettingsFilePlan FindSettingsFile(
    const std::wstring& filePath,
    std::initializer_list<std::pair<SettingsFileSource, std::wstring>> sources) {
  SettingsFilePlan plan{filePath, SettingsFileSource::kNone, {}};
  if (filePath.empty()) return plan;
  if (platform::PathExists(filePath)) {
    plan.Source = SettingsFileSource::kLoad;
    return plan;
  }
  for (const auto& [source, path] : sources) {
    if (path.empty() || !platform::PathExists(path)) continue;
    plan.Source = source;
    plan.SourcePath = path;
    break;
  }
  return plan;
}

// Only an id that its own node path can select names the store it was read
// from: a store with an empty id, or one holding a double quote, stays in the
// cleared list, as removing it by id could only hit some other store, whose
// database would then be left behind.
bool NamesItsOwnStore(const std::wstring& id) {
  return !id.empty() && id.find(L'"') == std::wstring::npos;
}

// The file a settings file is loaded from: itself, or the one copied to it.
const std::wstring& LoadedFrom(const SettingsFilePlan& file) {
  return file.SourcePath.empty() ? file.FilePath : file.SourcePath;
}

class Planner {
 public:
  explicit Planner(CleanupPlan& plan) : plan_(plan), gate_(*plan.Gate) {}

  void PlanStoreList() {
    step_ = CleanupStep::kClearStoreSettings;
    const SettingsFilePlan& file = plan_.StoreSettingsFile;
    if (file.FilePath.empty()) {
      Leave(L"", kNoDataFolder);
      return;
    }
    if (file.Source == SettingsFileSource::kNone) return;
    if (file.Source == SettingsFileSource::kTakeOver) PlanCopy(file, FileAction::kTakeOver);
    if (file.Source == SettingsFileSource::kSeed) PlanCopy(file, FileAction::kSeed);
    auto list = std::make_unique<StoreSettings>(LoadedFrom(file), file.FilePath, Reader());
    plan_.StoreListReadable = list->IsLoaded != 0;
    if (!plan_.StoreListReadable) {
      Leave(LoadedFrom(file), kUnreadable).ReadError = list->ReadError();
      return;
    }
    ReadStores(*list);
    // A walk the DOM failed in may have missed stores: nothing is deleted, and
    // the list stays as it is.
    if (const HRESULT failure = list->Document.ReadFailure(); failure != S_OK) {
      plan_.StoreListReadable = false;
      plan_.Stores.clear();
      Leave(LoadedFrom(file), kUnreadable).Failure = failure;
      return;
    }
    std::vector<std::wstring> moved(plan_.Stores.size());
    if (file.Source == SettingsFileSource::kTakeOver) {
      for (std::size_t store = 0; store < plan_.Stores.size(); ++store)
        moved[store] = PlanMove(store);
      Add(FileAction::kSaveTakenOverList, file.FilePath);
      Add(FileAction::kRemoveOlderList, file.SourcePath);
    }
    for (std::size_t store = 0; store < plan_.Stores.size(); ++store)
      PlanDelete(store, moved[store]);
    Add(FileAction::kSaveClearedList, file.FilePath);
    plan_.StoreList = std::move(list);
  }

  // With kLater the run may read it again (ReadArchiveSettingsAgain).
  void PlanGeneralSettings(SecondLoad secondLoad) {
    step_ = CleanupStep::kClearArchiveUrl;
    SettingsFilePlan& file = plan_.GeneralSettingsFile;
    if (file.FilePath.empty()) {
      Leave(L"", kNoDataFolder);
      return;
    }
    if (file.Source == SettingsFileSource::kNone) file.Source = SettingsFileSource::kCreate;
    if (file.Source == SettingsFileSource::kSeed) PlanCopy(file, FileAction::kSeed);
    plan_.General =
        std::make_unique<GeneralSettings>(LoadedFrom(file), file.FilePath, Reader(), secondLoad);
    PlanArchiveUrlSave();
  }

  // The save, or why the file is left, by what the loads made of it.
  void PlanArchiveUrlSave() {
    step_ = CleanupStep::kClearArchiveUrl;
    const SettingsFilePlan& file = plan_.GeneralSettingsFile;
    if (!plan_.General->IsReadable()) {
      Leave(LoadedFrom(file), kUnreadable).ReadError = plan_.General->ReadError();
      return;
    }
    Add(FileAction::kSaveClearedArchiveUrl, file.FilePath);
  }

  // Settings files are read through the gate's held folders, which follow no
  // link.
  SettingsFileReader Reader() const {
    return [&gate = gate_](const std::wstring& path, std::string& bytes) {
      return gate.ReadSettingsFile(path, bytes);
    };
  }

 private:
  // The settings file at path stays as it is, and the cleanup is undone.
  FileOperation& Leave(const std::wstring& path, const wchar_t* reason) {
    return Add(FileAction::kLeave, path, reason);
  }

  FileOperation& Add(FileAction action, const std::wstring& path, const wchar_t* reason = nullptr,
                     std::size_t store = kNoStore) {
    plan_.Operations.push_back({action, step_, path, {}, reason, store, S_OK, {}});
    return plan_.Operations.back();
  }

  void PlanCopy(const SettingsFilePlan& file, FileAction action) {
    Add(action, file.SourcePath).Destination = file.FilePath;
  }

  // Every store's dbFileName, in list order, and whether the cleared list
  // leaves the store out; the document is left as it was read.
  void ReadStores(StoreSettings& list) {
    for (ListedStore& store : list.ReadStores())
      plan_.Stores.push_back({std::move(store.DbFileName), NamesItsOwnStore(store.Id)});
  }

  // The takeover moves a database of the older folder in under its own
  // name; where that is refused it stays, and the store keeps pointing at
  // it. Returns where the move puts it, or "".
  std::wstring PlanMove(std::size_t store) {
    const std::wstring source = gate_.Resolve(plan_.Stores[store].DbFileName);
    if (source.empty() || platform::NamesAnotherMachineOrDevice(source)) return {};
    const platform::FileKind kind = gate_.KindAt(source);
    if (kind == platform::FileKind::kMissing) return {};
    const std::wstring destination = gate_.SameNameInDataFolder(source);
    if (const GateRefusal refusal = gate_.RefusalToMove(source, kind, destination);
        refusal != GateRefusal::kNone) {
      Add(FileAction::kRefuseMove, source, Describe(refusal), store);
      return {};
    }
    Add(FileAction::kMoveDatabase, source, nullptr, store).Destination = destination;
    return destination;
  }

  // A moved database is deleted where the move puts it; any other is
  // decided where its store names it.
  void PlanDelete(std::size_t store, const std::wstring& moved) {
    if (!moved.empty()) {
      Add(FileAction::kDeleteDatabase, moved, nullptr, store);
      return;
    }
    const DatabaseDecision decision = DecideDatabase(plan_.Stores[store].DbFileName, gate_);
    if (decision.Fate == DatabaseFate::kDelete)
      Add(FileAction::kDeleteDatabase, decision.Path, nullptr, store);
    else if (decision.Fate == DatabaseFate::kRefuse)
      Add(FileAction::kRefuseDelete, decision.Path, Describe(decision.Refusal), store);
  }

  CleanupPlan& plan_;
  const CleanupGate& gate_;
  CleanupStep step_ = CleanupStep::kClearStoreSettings;
};

}  // namespace

CleanupPlan PlanCleanup(const DataFolders& folders) {
  const std::wstring data = folders.DataFolder();
  const std::wstring pellucor = folders.PellucorDataFolder();
  const std::wstring install = folders.InstallDataFolder();
  CleanupPlan plan;
  plan.Folders = folders;
  plan.Gate = std::make_unique<const CleanupGate>(data, pellucor, install);
  plan.StoreSettingsFile = FindSettingsFile(
      FileInOrEmpty(StoreSettings::FileIn, data),
      {{SettingsFileSource::kTakeOver, FileInOrEmpty(StoreSettings::FileIn, pellucor)},
       {SettingsFileSource::kSeed, FileInOrEmpty(StoreSettings::FileIn, install)}});
  plan.GeneralSettingsFile = FindSettingsFile(
      FileInOrEmpty(GeneralSettings::FileIn, data),
      {{SettingsFileSource::kSeed, FileInOrEmpty(GeneralSettings::FileIn, pellucor)},
       {SettingsFileSource::kSeed, FileInOrEmpty(GeneralSettings::FileIn, install)}});
  // A folder a privileged run reaches only through a user's link is not
  // used: said once, first, and the cleanup is undone.
  for (const std::wstring& link : plan.Gate->RefusedLinks())
    plan.Operations.push_back({FileAction::kRefuseFolder,
                               CleanupStep::kClearStoreSettings,
                               link,
                               {},
                               Describe(GateRefusal::kLinkNotMadeBySystem),
                               kNoStore,
                               S_OK,
                               {}});
  Planner planner(plan);
  planner.PlanStoreList();
  planner.PlanGeneralSettings(SecondLoad::kLater);
  return plan;
}

void ReadArchiveSettingsAgain(CleanupPlan& plan) {
  if (!plan.General || plan.General->IsLoaded()) return;
  Planner planner(plan);
  plan.General->LoadAgainAfterPause(planner.Reader());
  std::vector<FileOperation>& operations = plan.Operations;
  // Its save, or the file's leaving, comes last and is planned anew.
  if (!operations.empty() && operations.back().Step == CleanupStep::kClearArchiveUrl &&
      (operations.back().Action == FileAction::kLeave ||
       operations.back().Action == FileAction::kSaveClearedArchiveUrl))
    operations.pop_back();
  planner.PlanArchiveUrlSave();
}

}  // namespace kalinor
