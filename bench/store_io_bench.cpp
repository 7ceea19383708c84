// The stand-ins' readers on large inputs, each beside an ordinary input of
// about the same size: a registry file full of [-key] deletions beside one
// full of values, and an install into a profile store whose profile carries
// 50,000 attributes beside one into a store of many services. The goal: each
// odd input costs at most five times its ordinary counterpart.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "mapiadmin/message_services.h"
#include "mapiadmin/profile_selection.h"
#include "platform/environment.h"
#include "platform/mapi.h"
#include "platform/output_capture.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    root_ = fs::temp_directory_path() /
            ("kalinor-bench-" + std::to_string(random()) + std::to_string(random()));
    fs::create_directories(root_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  fs::path File(const char* name) const { return root_ / name; }

 private:
  fs::path root_;
};

ScratchFolder& Scratch() {
  static ScratchFolder scratch;
  return scratch;
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

constexpr std::size_t kRegistryFileSize = 1024 * 1024;
constexpr int kKeyDeletions = 20000;

std::string ValueSection(int i) {
  char line[160];
  std::snprintf(line, sizeof line,
                "[HKEY_CURRENT_USER\\Software\\Bench\\Key%05d]\n\"Value\"=\"text of value %d\"\n\n",
                i, i);
  return line;
}

// Values with 20,000 deletions of other keys spread among them (each must be
// checked against every value read so far); about 1 MB.
std::string RegistryWithDeletions() {
  std::vector<std::string> deletions(kKeyDeletions);
  std::size_t deletion_bytes = 0;
  char line[64];
  for (int i = 0; i < kKeyDeletions; ++i) {
    std::snprintf(line, sizeof line, "[-HKEY_CURRENT_USER\\Software\\Gone%05d]\n", i);
    deletions[i] = line;
    deletion_bytes += deletions[i].size();
  }
  std::string values;
  int value_count = 0;
  while (values.size() + deletion_bytes < kRegistryFileSize) values += ValueSection(value_count++);
  std::string text = "Windows Registry Editor Version 5.00\n\n";
  const int per_value = kKeyDeletions / value_count + 1;
  int next_deletion = 0;
  for (int i = 0; i < value_count; ++i) {
    text += ValueSection(i);
    for (int k = 0; k < per_value && next_deletion < kKeyDeletions; ++k)
      text += deletions[next_deletion++];
  }
  return text;
}

// Only values, about 1 MB.
std::string RegistryWithValues() {
  std::string text = "Windows Registry Editor Version 5.00\n\n";
  for (int i = 0; text.size() < kRegistryFileSize; ++i) text += ValueSection(i);
  return text;
}

void ReadRegistryFile(benchmark::State& state, const std::string& text) {
  const fs::path path = Scratch().File("registry.reg");
  WriteFile(path, text);
  kalinor::platform::SetEnvironmentVariableText(L"KALINOR_REGISTRY", path.wstring());
  for (auto _ : state) {
    kalinor::platform::RegistryValue value;
    benchmark::DoNotOptimize(
        kalinor::platform::ReadRegistryValue(kalinor::platform::RegistryRoot::CurrentUser,
                                             L"Software\\Bench\\Key00100", L"Value", 520, value));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_RegistryWithKeyDeletions(benchmark::State& state) {
  ReadRegistryFile(state, RegistryWithDeletions());
}
void BM_RegistryWithValuesOnly(benchmark::State& state) {
  ReadRegistryFile(state, RegistryWithValues());
}

constexpr int kProfileAttributes = 50000;

// One profile "Default" with 50,000 attributes besides its own.
std::string StoreWithManyAttributes() {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Profiles>\n  <Profile";
  for (int i = 0; i < kProfileAttributes; ++i)
    text += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
  return text + " name=\"Default\" default=\"true\"/>\n</Profiles>\n";
}

// The same size in services of another profile.
std::string StoreWithManyServices(std::size_t size) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Profiles>\n"
      "  <Profile name=\"Default\" default=\"true\"/>\n  <Profile name=\"Other\">\n";
  char line[160];
  for (unsigned i = 0; text.size() < size; ++i) {
    std::snprintf(line, sizeof line,
                  "    <Service name=\"Service%u\" displayName=\"Service %u\" "
                  "uid=\"%032x\" configured=\"true\"/>\n",
                  i, i, i + 1);
    text += line;
  }
  return text + "  </Profile>\n</Profiles>\n";
}

// One install as the tool runs it: choose the profile, find the service,
// create and configure it.
void InstallInto(benchmark::State& state, const std::string& text) {
  const fs::path path = Scratch().File("profiles.xml");
  kalinor::platform::SetEnvironmentVariableText(L"KALINOR_MAPI_PROFILES", path.wstring());
  kalinor::platform::SetEnvironmentVariableText(L"KALINOR_MAPISVC",
                                                Scratch().File("no-mapisvc.inf").wstring());
  const kalinor::platform::MapiEntryPoints& mapi = kalinor::platform::SystemMapi();
  kalinor::platform::OutputCapture quiet;
  mapi.MAPIInitialize(nullptr);
  for (auto _ : state) {
    state.PauseTiming();
    WriteFile(path, text);
    state.ResumeTiming();
    kalinor::ServiceAdminHolder holder;
    if (!kalinor::OpenServiceAdmin(mapi, holder, nullptr) ||
        kalinor::InstallService(mapi, holder, L"ArchiveConnector", L"Archive Connector", {}) !=
            kalinor::ServiceOutcome::kDone) {
      state.SkipWithError("install failed");
      break;
    }
    holder.Release();
  }
  mapi.MAPIUninitialize();
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_InstallIntoProfileWithManyAttributes(benchmark::State& state) {
  InstallInto(state, StoreWithManyAttributes());
}
void BM_InstallIntoStoreWithManyServices(benchmark::State& state) {
  InstallInto(state, StoreWithManyServices(StoreWithManyAttributes().size()));
}

BENCHMARK(BM_RegistryWithKeyDeletions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegistryWithValuesOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InstallIntoProfileWithManyAttributes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InstallIntoStoreWithManyServices)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
