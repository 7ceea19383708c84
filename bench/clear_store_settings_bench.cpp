// ClearStoreSettings on StoreSettings.xml files of growing size (database
// files absent), beside one load and one save of the same document.
// The goals: the cleanup grows linearly and, at 100,000 stores, costs at most
// twice one xmllint load and save of the same file (bench/run.sh times that);
// 20,000 stores without an id (each stays in the list) and the takeover of
// 20,000 stores from the older data folder each cost at most five times the
// cleanup of 20,000 stores with ids.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "datafolder/data_folders.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/output_capture.h"
#include "cleanup/uninstall_cleanup.h"
#include "store_settings_text.h"
#include "xml/xml_document.h"

namespace {

// A scratch local app-data folder for the whole run, so that the data folder
// lies in it (no registry file steers it elsewhere).
class ScratchDataFolder {
 public:
  ScratchDataFolder() {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("kalinor-bench-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(root_);
    kalinor::platform::SetEnvironmentVariableText(L"XDG_DATA_HOME", (root_ / "local").wstring());
    kalinor::platform::SetEnvironmentVariableText(L"KALINOR_REGISTRY",
                                                  (root_ / "no-registry.reg").wstring());
    folders_ = kalinor::DataFolders::Resolve(kalinor::FolderCreation::kCreate);
    settings_file_ = folders_.DataFolder() + kalinor::platform::kPathSeparator + L"StoreSettings.xml";
    older_settings_file_ =
        folders_.PellucorDataFolder() + kalinor::platform::kPathSeparator + L"StoreSettings.xml";
    std::filesystem::create_directories(std::filesystem::path(folders_.PellucorDataFolder()));
    // The cleanup is planned whole: a general settings file in place keeps
    // the pause before a second load of a missing one out of the timing.
    std::ofstream(std::filesystem::path(folders_.DataFolder()) / "GeneralSettings.xml")
        << "<QEVConfiguration><General/></QEVConfiguration>";
  }
  ~ScratchDataFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  const std::wstring& SettingsFile() const { return settings_file_; }
  const std::wstring& OlderSettingsFile() const { return older_settings_file_; }
  std::filesystem::path Root() const { return root_; }
  const kalinor::DataFolders& Folders() const { return folders_; }

 private:
  std::filesystem::path root_;
  std::wstring settings_file_;
  std::wstring older_settings_file_;
  kalinor::DataFolders folders_;
};

ScratchDataFolder& Scratch() {
  static ScratchDataFolder scratch;
  return scratch;
}

// A StoreSettings.xml with that many stores (ids or none), its database files
// absent.
std::string StoreSettingsText(int stores, bool withIds = true) {
  return kalinor::bench::StoreSettingsText(stores, (Scratch().Root() / "absent").string() + "/",
                                           withIds);
}

void WriteSettingsFile(const std::string& text,
                       const std::wstring& path = Scratch().SettingsFile()) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// The cleanup of a list in the data folder (with ids or without), or of one
// taken over from the older data folder.
enum class Input { kWithIds, kWithoutIds, kTakeover };

void ClearStoreSettingsOf(benchmark::State& state, Input input) {
  const std::string text =
      StoreSettingsText(static_cast<int>(state.range(0)), input != Input::kWithoutIds);
  kalinor::platform::OutputCapture quiet;  // keeps the two messages off stderr
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(std::filesystem::path(Scratch().SettingsFile()));
    WriteSettingsFile(
        text, input == Input::kTakeover ? Scratch().OlderSettingsFile() : Scratch().SettingsFile());
    state.ResumeTiming();
    kalinor::PlannedUninstallCleanup([] { return Scratch().Folders(); }).ClearStoreSettings();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ClearStoreSettings(benchmark::State& state) {
  ClearStoreSettingsOf(state, Input::kWithIds);
}

void BM_ClearStoresWithoutId(benchmark::State& state) {
  ClearStoreSettingsOf(state, Input::kWithoutIds);
}

void BM_TakeOverAndClear(benchmark::State& state) { ClearStoreSettingsOf(state, Input::kTakeover); }

void BM_LoadAndSave(benchmark::State& state) {
  const std::string text = StoreSettingsText(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    WriteSettingsFile(text);
    state.ResumeTiming();
    kalinor::XMLDocument document;
    if (document.Load(Scratch().SettingsFile()) != S_OK ||
        document.Save(Scratch().SettingsFile()) != S_OK) {
      state.SkipWithError("load or save failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_ClearStoreSettings)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClearStoresWithoutId)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TakeOverAndClear)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndSave)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
