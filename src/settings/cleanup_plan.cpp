#include "settings/cleanup_plan.h"

#include "datafolder/data_folders.h"
#include "platform/files.h"
#include "settings/general_settings.h"
#include "settings/store_settings.h"

namespace kalinor {

namespace {

// The first of the candidate sources that holds a file, in the order the
// settings class tries them; kNone when there is none.
SettingsFilePlan PlanSettingsFile(
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

std::wstring FileInOrEmpty(std::wstring (*fileIn)(const std::wstring&),
                           const std::wstring& folder) {
  return folder.empty() ? std::wstring() : fileIn(folder);
}

// A database the takeover may move is moved into the data folder and then
// deleted there: the file that goes is the one in the older folder now.
DatabaseDecision DecideTakenOverDatabase(const std::wstring& value,
                                         const DatabaseConfinement& confinement) {
  const std::wstring source = confinement.Resolve(value);
  const platform::FileKind kind =
      source.empty() ? platform::FileKind::kMissing : confinement.KindAt(source);
  if (kind == platform::FileKind::kMissing || confinement.RefusalToMove(source, kind) != nullptr)
    return DecideDatabase(value, confinement);
  return DatabaseDecision{DatabaseFate::kDelete, source, nullptr};
}

void PlanDatabases(CleanupPlan& plan, const DatabaseConfinement& confinement) {
  const SettingsFilePlan& file = plan.StoreSettingsFile;
  if (file.Source == SettingsFileSource::kNone) return;
  StoreSettings list(file.Source == SettingsFileSource::kLoad ? file.FilePath : file.SourcePath);
  plan.StoreListReadable = list.IsLoaded != 0;
  const bool takenOver = file.Source == SettingsFileSource::kTakeOver;
  // The walk only reorders the document in memory; nothing is saved.
  list.VisitStores([&] {
    const std::wstring value = list.GetValue(L"dbFileName");
    plan.Databases.push_back(takenOver ? DecideTakenOverDatabase(value, confinement)
                                       : DecideDatabase(value, confinement));
    return false;
  });
}

}  // namespace

CleanupPlan PlanCleanup() {
  const DataFolders& folders = DataFolders::Instance();
  const std::wstring data = folders.DataFolder();
  const std::wstring pellucor = folders.PellucorDataFolder();
  const std::wstring install = folders.InstallDataFolder();
  CleanupPlan plan;
  plan.StoreSettingsFile = PlanSettingsFile(
      FileInOrEmpty(StoreSettings::FileIn, data),
      {{SettingsFileSource::kTakeOver, FileInOrEmpty(StoreSettings::FileIn, pellucor)},
       {SettingsFileSource::kSeed, FileInOrEmpty(StoreSettings::FileIn, install)}});
  plan.GeneralSettingsFile = PlanSettingsFile(
      FileInOrEmpty(GeneralSettings::FileIn, data),
      {{SettingsFileSource::kSeed, FileInOrEmpty(GeneralSettings::FileIn, pellucor)},
       {SettingsFileSource::kSeed, FileInOrEmpty(GeneralSettings::FileIn, install)}});
  // ClearArchiveUrl saves even when there was nothing to load.
  if (plan.GeneralSettingsFile.Source == SettingsFileSource::kNone && !data.empty())
    plan.GeneralSettingsFile.Source = SettingsFileSource::kCreate;
  PlanDatabases(plan, DatabaseConfinement(data, pellucor));
  return plan;
}

}  // namespace kalinor
