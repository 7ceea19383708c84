// Fuzz target: arbitrary bytes as the registry stand-in's .reg file, read
// through ReadRegistryValue for a few values. The file lives in memory
// (memfd), named by its /proc/self/fd path.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/environment.h"
#include "platform/registry.h"

namespace {

using kalinor::platform::ReadRegistryValue;
using kalinor::platform::RegistryRoot;
using kalinor::platform::RegistryValue;

// A broken expectation: stop here so that libFuzzer reports the input.
void Check(bool holds) {
  if (!holds) __builtin_trap();
}

int RegistryFile() {
  static const int fd = [] {
    const int created = ::memfd_create("registry.reg", 0);
    Check(created >= 0);
    kalinor::platform::SetEnvironmentVariableText(
        L"KALINOR_REGISTRY", L"/proc/self/fd/" + std::to_wstring(created));
    return created;
  }();
  return fd;
}

struct Query {
  RegistryRoot root;
  const wchar_t* key;
  const wchar_t* name;
};

const Query kQueries[] = {
    {RegistryRoot::CurrentUser, L"Software\\Policies\\Tavrin\\Pellucor", L"DataPath"},
    {RegistryRoot::LocalMachine, L"Software\\Tavrin\\Pellucor", L"Path"},
    {RegistryRoot::CurrentUser, L"K", L""},
    {RegistryRoot::CurrentUser, L"K\\Sub", L"V"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = RegistryFile();
  Check(::ftruncate(fd, 0) == 0);
  Check(::pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
  for (const Query& query : kQueries) {
    RegistryValue first;
    RegistryValue again;
    const bool found = ReadRegistryValue(query.root, query.key, query.name, 520, first);
    // The file is read afresh each time, and must read the same.
    Check(ReadRegistryValue(query.root, query.key, query.name, 520, again) == found);
    if (!found) continue;
    Check(first.data.size() <= 520);
    Check(first.type == again.type && first.data == again.data);
  }
  return 0;
}
