// The readers of the stand-ins' files and of the settings files: none waits
// on a FIFO, reads a device without end, or takes a folder or an oversized
// file for its input; and the profile store's lock is waited for only so long.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "mapi_standin_test_helpers.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "standin/mapi/service_catalogue.h"
#include "standin/mapi/store_file.h"
#include "platform/registry.h"
#include "platform/special_folders.h"
#include "support/scoped_env.h"
#include "support/special_files.h"

namespace kalinor::mapi_standin {
namespace {

namespace fs = std::filesystem;
using test_helpers::ReadFileBytes;
using test_helpers::TemporaryFolder;
using test_helpers::WidePath;
using test_helpers::WriteFileBytes;

// Past every reader's cap (the largest is 64 MiB); sparse, so cheap to make.
constexpr std::uintmax_t kOversize = 64 * 1024 * 1024 + 1;

struct Reader {
  const char* name;
  const char* file_name;
  std::string valid_content;                   // what it reads when the file is regular
  std::function<bool(const fs::path&)> reads;  // true when it read the file at the path
};

std::vector<Reader> Readers() {
  std::vector<Reader> readers = {
      {"whole-file read (settings files)", "StoreSettings.xml", "<QEVConfiguration/>",
       [](const fs::path& path) {
         std::string bytes;
         return !platform::ReadWholeFile(WidePath(path), bytes).Failed();
       }},
      {"profile store", "profiles.xml", "<Profiles><Profile name=\"P\"/></Profiles>",
       [](const fs::path& path) {
         ProfileStore store;
         return ReadProfileStoreFile(WidePath(path), store) == S_OK;
       }},
      {"service catalogue", "mapisvc.inf", "[Services]\nA=B\n",
       [](const fs::path& path) {
         ServiceCatalogue catalogue;
         return ReadServiceCatalogue(WidePath(path), catalogue) == S_OK && catalogue.present;
       }},
  };
  if (testing::ServicesAreStandIns()) {
    readers.push_back(
        {"registry file", "registry.reg",
         "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"V\"=\"x\"\n",
         [](const fs::path& path) {
           const testing::ScopedEnvironmentVariable registry(L"KALINOR_REGISTRY", WidePath(path));
           platform::RegistryValue value;
           return platform::ReadRegistryValue(platform::RegistryRoot::CurrentUser, L"K", L"V", 520,
                                              value);
         }});
    readers.push_back(
        {"XDG user folders", "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/docs\"\n",
         [](const fs::path& path) {
           const std::wstring folder = WidePath(path.parent_path());
           const testing::ScopedEnvironmentVariable home(L"HOME", folder);
           const testing::ScopedEnvironmentVariable config(L"XDG_CONFIG_HOME", folder);
           return platform::GetSpecialFolderPath(platform::kCsidlPersonal) == folder + L"/docs";
         }});
  }
  return readers;
}

struct FileKind {
  const char* name;
  bool readable;
  // Makes the kind at path; false when this platform cannot.
  std::function<bool(const fs::path&, const std::string& content)> make;
};

const FileKind kFileKinds[] = {
    {"regular file", true,
     [](const fs::path& path, const std::string& content) {
       WriteFileBytes(path, content);
       return true;
     }},
    {"FIFO", false,
     [](const fs::path& path, const std::string&) { return testing::MakeFifo(path); }},
    {"link to /dev/zero", false,
     [](const fs::path& path, const std::string&) { return testing::LinkToEndlessDevice(path); }},
    {"folder", false,
     [](const fs::path& path, const std::string&) { return fs::create_directory(path); }},
    {"file over the cap", false,
     [](const fs::path& path, const std::string& content) {
       WriteFileBytes(path, content);
       fs::resize_file(path, kOversize);
       return true;
     }},
};

TEST(UnreadableFiles, EveryReaderRefusesWhatIsNoRegularFileOfSaneSize) {
  for (const Reader& reader : Readers()) {
    for (const FileKind& kind : kFileKinds) {
      TemporaryFolder folder;
      const fs::path path = folder.Path() / reader.file_name;
      if (!kind.make(path, reader.valid_content)) continue;
      EXPECT_EQ(reader.reads(path), kind.readable) << reader.name << ", " << kind.name;
    }
  }
}

TEST(ProfileStoreLock, AWaitPastItsLimitFailsAndChangesNothing) {
  using std::chrono::milliseconds;
  TemporaryFolder folder;
  const fs::path path = folder.Path() / "profiles.xml";
  const std::string original = "<Profiles><Profile name=\"P\"/></Profiles>";
  WriteFileBytes(path, original);
  bool changed = false;
  const StoreChange add_profile = [&](ProfileStore& store) {
    changed = true;
    store.profiles.emplace_back().name = L"Added";
    return S_OK;
  };
  {
    // Another holder: a lock opened separately excludes as another process would.
    const platform::ExclusiveFileLock other(WidePath(path) + L".lock", milliseconds(0));
    ASSERT_TRUE(other.IsLocked());
    EXPECT_EQ(UpdateProfileStoreFile(WidePath(path), add_profile, milliseconds(50)),
              MAPI_E_TIMEOUT);
    ProfileStore store;
    EXPECT_EQ(ReadProfileStoreFile(WidePath(path), store, milliseconds(50)), MAPI_E_TIMEOUT);
    const platform::ExclusiveFileLock third(WidePath(path) + L".lock", milliseconds(10));
    EXPECT_FALSE(third.IsLocked());
    EXPECT_TRUE(third.TimedOut());
  }
  EXPECT_FALSE(changed);
  EXPECT_EQ(ReadFileBytes(path), original);

  EXPECT_EQ(UpdateProfileStoreFile(WidePath(path), add_profile, milliseconds(50)), S_OK);
  EXPECT_TRUE(changed);
  ProfileStore store;
  ASSERT_EQ(ReadProfileStoreFile(WidePath(path), store, milliseconds(50)), S_OK);
  ASSERT_EQ(store.profiles.size(), 2u);
  EXPECT_EQ(store.profiles[1].name, L"Added");
}

}  // namespace
}  // namespace kalinor::mapi_standin
