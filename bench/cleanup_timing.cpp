// The uninstall's store cleanup timed on both builds (the Windows build runs
// it under Wine, where Google Benchmark is not at hand): ClearStoreSettings on
// StoreSettings.xml files of the given sizes (database files absent, in a
// folder that is there and in one that is not), beside one XMLDocument load
// and save of the same document. Prints one line per size: stores, best
// cleanup of each kind, best run of the cleanup's XML work alone, best
// load+save, and the ratio of each cleanup to load+save (milliseconds).
//
//   kalinor_cleanup_timing [STORES...]          default: 1000 10000
//   kalinor_cleanup_timing --write STORES FILE  only writes the document
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "datafolder/data_folders.h"
#include "platform/com_apartment.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/output_capture.h"
#include "platform/text.h"
#include "cleanup/uninstall_cleanup.h"
#include "store_settings_text.h"
#include "xml/xml_document.h"

namespace {

using Clock = std::chrono::steady_clock;

bool WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(out);
}

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// The best of a few runs of action, each on a freshly written file.
template <typename Action>
double BestOf(int runs, const std::filesystem::path& file, const std::string& text, Action action) {
  double best = 1e300;
  for (int run = 0; run < runs; ++run) {
    if (!WriteText(file, text)) return -1;
    const Clock::time_point start = Clock::now();
    if (!action()) return -1;
    best = std::min(best, Milliseconds(Clock::now() - start));
  }
  return best;
}

// The cleanup's XML work alone, as StoreSettings does it: per store, its
// database path and id read by position, then the store removed by id.
bool WalkStores(const std::wstring& file) {
  kalinor::XMLDocument document;
  if (document.Load(file) != S_OK) return false;
  const std::wstring first = L"QEVConfiguration/Store[0]";
  while (document.NodeExists(first)) {
    document.GetNodeText(first + L"/dbFileName");
    const std::wstring id = document.GetNodeAttribute(first, L"id");
    if (document.RemoveNode(L"QEVConfiguration/Store[@id=\"" + id + L"\"]") != S_OK) return false;
  }
  return document.Save(file) == S_OK;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  // As MAPI's start does in the tool: the Windows DOM needs COM on the thread.
  const kalinor::platform::ComApartment com;
  // A scratch data folder (POSIX: the local application data; Windows: the
  // user's own, which Wine keeps inside its prefix).
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / "kalinor-cleanup-timing";
  std::filesystem::create_directories(scratch);
  kalinor::platform::SetEnvironmentVariableText(L"XDG_DATA_HOME", (scratch / "local").wstring());
  kalinor::platform::SetEnvironmentVariableText(L"KALINOR_REGISTRY",
                                                (scratch / "no-registry.reg").wstring());
  const kalinor::DataFolders folders =
      kalinor::DataFolders::Resolve(kalinor::FolderCreation::kCreate);
  const std::wstring dataFolder = folders.DataFolder();
  // The databases' folder is there and empty: their files are gone.
  const std::wstring databaseFolder = dataFolder + kalinor::platform::kPathSeparator + L"absent";
  std::filesystem::create_directories(std::filesystem::path(databaseFolder));
  // The cleanup is planned whole: a general settings file in place keeps the
  // pause before a second load of a missing one out of the timing.
  WriteText(std::filesystem::path(dataFolder + kalinor::platform::kPathSeparator +
                                  L"GeneralSettings.xml"),
            "<QEVConfiguration><General/></QEVConfiguration>");
  const std::string absentFolder =
      kalinor::platform::ToUtf8(databaseFolder + kalinor::platform::kPathSeparator);
  // A folder that is not there at all: asked about once, not once per store.
  const std::string missingFolder = kalinor::platform::ToUtf8(
      dataFolder + kalinor::platform::kPathSeparator + L"gone" + kalinor::platform::kPathSeparator);
  const std::filesystem::path file(dataFolder + kalinor::platform::kPathSeparator +
                                   L"StoreSettings.xml");

  if (arguments.size() == 3 && arguments[0] == "--write")
    return WriteText(arguments[2], kalinor::bench::StoreSettingsText(
                                       std::atoi(arguments[1].c_str()), absentFolder))
               ? 0
               : 1;
  if (arguments.empty()) arguments = {"1000", "10000"};

  std::printf("%10s %12s %14s %12s %12s %8s %8s\n", "stores", "cleanup ms", "folder gone ms",
              "XML ms", "load+save ms", "ratio", "gone");
  for (const std::string& argument : arguments) {
    const int stores = std::atoi(argument.c_str());
    const std::string text = kalinor::bench::StoreSettingsText(stores, absentFolder);
    const int runs = stores >= 50000 ? 3 : 5;
    kalinor::platform::OutputCapture quiet;  // keeps the cleanup's two lines off stderr
    const auto clear = [&] {
      kalinor::PlannedUninstallCleanup([&] { return folders; }).ClearStoreSettings();
      return true;
    };
    const double folderGone =
        BestOf(runs, file, kalinor::bench::StoreSettingsText(stores, missingFolder), clear);
    const double cleanup = BestOf(runs, file, text, clear);
    const double xmlWalk = BestOf(runs, file, text, [&] { return WalkStores(file.wstring()); });
    const double loadAndSave = BestOf(runs, file, text, [&] {
      kalinor::XMLDocument document;
      return document.Load(file.wstring()) == S_OK && document.Save(file.wstring()) == S_OK;
    });
    const auto ratio = [&](double cost) { return loadAndSave > 0 ? cost / loadAndSave : 0.0; };
    std::printf("%10d %12.1f %14.1f %12.1f %12.1f %8.2f %8.2f\n", stores, cleanup, folderGone,
                xmlWalk, loadAndSave, ratio(cleanup), ratio(folderGone));
  }
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  return 0;
}
