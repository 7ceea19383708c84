// XMLDocument::Load of hostile settings files beside an ordinary one of
// about the same size: one element with many attributes (libxml2 2.9 alone
// takes time that grows with their square: 3.4 s at 50,000), a DOCTYPE that
// declares as many default values, and deep nesting. The goal: every load,
// accepted or refused, well under a second up to the 64 MiB read cap.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/text.h"
#include "xml/xml_document.h"

namespace {

namespace fs = std::filesystem;

fs::path ScratchFile() {
  std::random_device random;
  static const fs::path file =
      fs::temp_directory_path() / ("kalinor-xml-bench-" + std::to_string(random()) + ".xml");
  return file;
}

void Load(benchmark::State& state, const std::string& text) {
  const fs::path file = ScratchFile();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  const std::wstring path = kalinor::platform::FromUtf8(file.string());
  HRESULT result = S_OK;
  for (auto _ : state) {
    kalinor::XMLDocument document;
    result = document.Load(path);
    benchmark::DoNotOptimize(result);
  }
  state.counters["loaded"] = result == S_OK ? 1 : 0;
  state.counters["MiB"] = static_cast<double>(text.size()) / (1024 * 1024);
  fs::remove(file);
}

std::string Attributes(long count) {
  std::string text;
  for (long i = 0; i < count; ++i) text += " a" + std::to_string(i) + "=\"v\"";
  return text;
}

void ManyAttributesOnGeneral(benchmark::State& state) {
  Load(state, "<QEVConfiguration><General" + Attributes(state.range(0)) +
                  "/></QEVConfiguration>");
}

void ManyDefaultsInADoctype(benchmark::State& state) {
  std::string declarations;
  for (long i = 0; i < state.range(0); ++i)
    declarations += " a" + std::to_string(i) + " CDATA \"v\"";
  Load(state, "<!DOCTYPE QEVConfiguration [<!ATTLIST General" + declarations +
                  ">]><QEVConfiguration><General/></QEVConfiguration>");
}

// The ordinary counterpart: as many attributes, a few on each element.
void AttributesSpreadOverElements(benchmark::State& state) {
  std::string text = "<QEVConfiguration>";
  for (long i = 0; i < state.range(0); i += 4) text += "<Store" + Attributes(4) + "/>";
  Load(state, text + "</QEVConfiguration>");
}

void DeepNesting(benchmark::State& state) {
  std::string text;
  for (long i = 0; i < state.range(0); ++i) text += "<e>";
  for (long i = 0; i < state.range(0); ++i) text += "</e>";
  Load(state, text);
}

}  // namespace

BENCHMARK(ManyAttributesOnGeneral)
    ->Arg(1000)->Arg(1001)->Arg(50000)->Arg(200000)->Arg(5000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ManyDefaultsInADoctype)->Arg(1000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(AttributesSpreadOverElements)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(DeepNesting)->Arg(256)->Arg(257)->Arg(1000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
