#include "settings/cleanup_plan.h"

#include <utility>

#include "platform/files.h"

namespace kalinor {

namespace {

const wchar_t kDatabaseValueName[] = L"dbFileName";
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
  Planner(CleanupPlan& plan, const CleanupGate& gate) : plan_(plan), gate_(gate) {}

  void PlanStoreList() {
    part_ = CleanupPart::kStoreList;
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
      Leave(LoadedFrom(file), kUnreadable).ReadError = readError_;
      return;
    }
    const std::vector<std::wstring> values = ReadStores(*list);
    // A walk the DOM failed in may have missed stores: nothing is deleted, and
    // the list stays as it is.
    if (const HRESULT failure = list->Document.ReadFailure(); failure != S_OK) {
      plan_.StoreListReadable = false;
      Leave(LoadedFrom(file), kUnreadable).Failure = failure;
      return;
    }
    std::vector<std::wstring> moved(values.size());
    if (file.Source == SettingsFileSource::kTakeOver) {
      for (int store = 0; store < static_cast<int>(values.size()); ++store)
        moved[store] = PlanMove(values[store], store);
      Add(FileAction::kSaveTakenOverList, file.FilePath);
      Add(FileAction::kRemoveOlderList, file.SourcePath);
    }
    for (int store = 0; store < static_cast<int>(values.size()); ++store)
      PlanDelete(values[store], moved[store], store);
    Add(FileAction::kSaveClearedList, file.FilePath);
    plan_.StoreList = std::move(list);
  }

  void PlanGeneralSettings() {
    part_ = CleanupPart::kGeneralSettings;
    SettingsFilePlan& file = plan_.GeneralSettingsFile;
    if (file.FilePath.empty()) {
      Leave(L"", kNoDataFolder);
      return;
    }
    if (file.Source == SettingsFileSource::kNone) file.Source = SettingsFileSource::kCreate;
    if (file.Source == SettingsFileSource::kSeed) PlanCopy(file, FileAction::kSeed);
    plan_.General = std::make_unique<GeneralSettings>(LoadedFrom(file), file.FilePath, Reader());
    if (!plan_.General->IsReadable()) {
      Leave(LoadedFrom(file), kUnreadable).ReadError = readError_;
      return;
    }
    Add(FileAction::kSaveGeneralSettings, file.FilePath);
  }

 private:
  // Reads settings files through the gate's held folders, which follow no
  // link; keeps the last read's failure for the line that says why.
  SettingsFileReader Reader() {
    return [this](const std::wstring& path, std::string& bytes) {
      readError_ = gate_.ReadSettingsFile(path, bytes);
      return !readError_.Failed();
    };
  }

  // The settings file at path stays as it is, and the cleanup is undone.
  FileOperation& Leave(const std::wstring& path, const wchar_t* reason) {
    return Add(FileAction::kLeave, path, reason);
  }

  FileOperation& Add(FileAction action, const std::wstring& path,
                     const wchar_t* reason = nullptr, int store = -1) {
    plan_.Operations.push_back({action, part_, path, {}, reason, store, S_OK, {}});
    return plan_.Operations.back();
  }

  void PlanCopy(const SettingsFilePlan& file, FileAction action) {
    Add(action, file.SourcePath).Destination = file.FilePath;
  }

  // Every store's dbFileName, in list order, and whether the cleared list
  // leaves the store out. The walk only reorders the document in memory, and
  // leaves the stores as it found them.
  std::vector<std::wstring> ReadStores(StoreSettings& list) {
    std::vector<std::wstring> values;
    list.VisitStores([&] {
      values.push_back(list.GetValue(kDatabaseValueName));
      plan_.ClearedStores.push_back(NamesItsOwnStore(list.GetAttribute(L"id")));
      return false;
    });
    return values;
  }

  // The takeover moves a database of the older folder in under its own
  // name; where that is refused it stays, and the store keeps pointing at
  // it. Returns where the move puts it, or "".
  std::wstring PlanMove(const std::wstring& value, int store) {
    const std::wstring source = gate_.Resolve(value);
    if (source.empty() || platform::NamesAnotherMachineOrDevice(source)) return {};
    const platform::FileKind kind = gate_.KindAt(source);
    if (kind == platform::FileKind::kMissing) return {};
    const std::wstring destination = gate_.SameNameInDataFolder(source);
    if (const wchar_t* refusal = gate_.RefusalToMove(source, kind, destination)) {
      Add(FileAction::kRefuseMove, source, refusal, store);
      return {};
    }
    Add(FileAction::kMoveDatabase, source, nullptr, store).Destination = destination;
    return destination;
  }

  // A moved database is deleted where the move puts it; any other is
  // decided where its store names it.
  void PlanDelete(const std::wstring& value, const std::wstring& moved, int store) {
    if (!moved.empty()) {
      Add(FileAction::kDeleteDatabase, moved, nullptr, store);
      return;
    }
    const DatabaseDecision decision = DecideDatabase(value, gate_);
    if (decision.Fate == DatabaseFate::kDelete)
      Add(FileAction::kDeleteDatabase, decision.Path, nullptr, store);
    else if (decision.Fate == DatabaseFate::kRefuse)
      Add(FileAction::kRefuseDelete, decision.Path, decision.Refusal, store);
  }

  CleanupPlan& plan_;
  const CleanupGate& gate_;
  CleanupPart part_ = CleanupPart::kStoreList;
  platform::SystemError readError_;
};

}  // namespace

CleanupPlan PlanCleanup(const DataFolders& folders) {
  const std::wstring data = folders.DataFolder();
  const std::wstring pellucor = folders.PellucorDataFolder();
  const std::wstring install = folders.InstallDataFolder();
  CleanupPlan plan{folders, {}, {}, true, {}, {}, nullptr, nullptr};
  plan.StoreSettingsFile = FindSettingsFile(
      FileInOrEmpty(StoreSettings::FileIn, data),
      {{SettingsFileSource::kTakeOver, FileInOrEmpty(StoreSettings::FileIn, pellucor)},
       {SettingsFileSource::kSeed, FileInOrEmpty(StoreSettings::FileIn, install)}});
  plan.GeneralSettingsFile = FindSettingsFile(
      FileInOrEmpty(GeneralSettings::FileIn, data),
      {{SettingsFileSource::kSeed, FileInOrEmpty(GeneralSettings::FileIn, pellucor)},
       {SettingsFileSource::kSeed, FileInOrEmpty(GeneralSettings::FileIn, install)}});
  const CleanupGate gate(data, pellucor, install);
  Planner planner(plan, gate);
  planner.PlanStoreList();
  planner.PlanGeneralSettings();
  return plan;
}

}  // namespace kalinor
