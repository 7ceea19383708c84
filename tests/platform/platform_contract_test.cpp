// What the program relies on from the registry, special-folder and file
// services, checked against the build's own implementation: the Windows
// calls (in the Wine prefix under Wine) or the POSIX stand-ins.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/files_os.h"
#include "platform/registry.h"
#include "platform/special_folders.h"
#include "platform/text.h"
#include "platform/utf16le.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "support/test_registry.h"

namespace kalinor {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;
using Bytes = std::vector<std::uint8_t>;

constexpr wchar_t kKey[] = L"Software\\Kalinor Tests\\Contract";
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

Bytes Utf16WithNul(const std::wstring& text) {
  Bytes bytes = platform::ToUtf16Le(text);
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

std::optional<RegistryValue> Read(RegistryRoot root, const std::wstring& key,
                                  const std::wstring& name, std::size_t max_bytes = 520) {
  RegistryValue value;
  if (!platform::ReadRegistryValue(root, key, name, max_bytes, value)) return std::nullopt;
  return value;
}

// --- Registry -----------------------------------------------------------------

TEST(RegistryContract, ValuesComeBackWithTheirTypeAndExactBytes) {
  testing::TestRegistry registry;
  const Bytes expand = Utf16WithNul(L"%TEMP%\\J\u00f6rg");
  const Bytes number = {0x2A, 0, 0, 0};
  const Bytes odd = {'a', 0, 'b'};  // odd size, no terminator: the reader must not mend it
  const Bytes unterminated = platform::ToUtf16Le(L"abc");
  ASSERT_TRUE(
      registry.SetRaw(RegistryRoot::CurrentUser, kKey, L"Expand", platform::kRegExpandSz, expand));
  ASSERT_TRUE(registry.SetRaw(RegistryRoot::CurrentUser, kKey, L"Number", kRegDword, number));
  ASSERT_TRUE(registry.SetRaw(RegistryRoot::CurrentUser, kKey, L"Odd", platform::kRegSz, odd));
  ASSERT_TRUE(registry.SetRaw(RegistryRoot::CurrentUser, kKey, L"Unterminated", platform::kRegSz,
                              unterminated));
  ASSERT_TRUE(registry.SetRaw(RegistryRoot::CurrentUser, kKey, L"Empty", kRegBinary, {}));
  ASSERT_TRUE(registry.SetString(RegistryRoot::CurrentUser, kKey, L"", L"default"));

  const auto check = [](const wchar_t* name, std::uint32_t type, const Bytes& data) {
    SCOPED_TRACE(platform::ToUtf8(name));
    const std::optional<RegistryValue> value = Read(RegistryRoot::CurrentUser, kKey, name);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, type);
    EXPECT_EQ(value->data, data);
  };
  check(L"Expand", platform::kRegExpandSz, expand);  // no environment expansion
  check(L"Number", kRegDword, number);
  check(L"Odd", platform::kRegSz, odd);
  check(L"Unterminated", platform::kRegSz, unterminated);
  check(L"Empty", kRegBinary, {});
  check(L"", platform::kRegSz, Utf16WithNul(L"default"));
}

TEST(RegistryContract, DataMustFitTheBuffer) {
  testing::TestRegistry registry;
  const Bytes ten(10, 0x41);
  ASSERT_TRUE(registry.SetRaw(RegistryRoot::CurrentUser, kKey, L"Ten", kRegBinary, ten));
  ASSERT_TRUE(registry.SetRaw(RegistryRoot::CurrentUser, kKey, L"None", kRegBinary, {}));

  EXPECT_EQ(Read(RegistryRoot::CurrentUser, kKey, L"Ten", 10)->data, ten);
  EXPECT_FALSE(Read(RegistryRoot::CurrentUser, kKey, L"Ten", 9).has_value());
  EXPECT_FALSE(Read(RegistryRoot::CurrentUser, kKey, L"Ten", 0).has_value());
  EXPECT_TRUE(Read(RegistryRoot::CurrentUser, kKey, L"None", 0).has_value());
}

TEST(RegistryContract, MissingKeysValuesAndTheOtherRootReadAsNothing) {
  testing::TestRegistry registry;
  ASSERT_TRUE(registry.SetString(RegistryRoot::CurrentUser, kKey, L"DataPath", L"C:\\Data"));

  EXPECT_TRUE(Read(RegistryRoot::CurrentUser, kKey, L"DataPath").has_value());
  EXPECT_FALSE(Read(RegistryRoot::LocalMachine, kKey, L"DataPath").has_value());
  EXPECT_FALSE(Read(RegistryRoot::CurrentUser, kKey, L"Missing").has_value());
  EXPECT_FALSE(
      Read(RegistryRoot::CurrentUser, std::wstring(kKey) + L"\\Missing", L"DataPath").has_value());
  // A NUL would cut the name short and read another value.
  EXPECT_FALSE(Read(RegistryRoot::CurrentUser, kKey, std::wstring(L"DataPath\0x", 10)).has_value());
  EXPECT_FALSE(
      Read(RegistryRoot::CurrentUser, std::wstring(kKey) + std::wstring(L"\0y", 2), L"DataPath")
          .has_value());

  ASSERT_TRUE(registry.Remove(RegistryRoot::CurrentUser, kKey, L"DataPath"));
  EXPECT_FALSE(Read(RegistryRoot::CurrentUser, kKey, L"DataPath").has_value());
}

TEST(RegistryContract, ATestRegistryPutsBackWhatItChanged) {
  {
    testing::TestRegistry outer;
    ASSERT_TRUE(outer.SetString(RegistryRoot::LocalMachine, kKey, L"Path", L"before"));
    {
      testing::TestRegistry inner;
      ASSERT_TRUE(inner.SetString(RegistryRoot::LocalMachine, kKey, L"Path", L"during"));
      ASSERT_TRUE(inner.SetString(RegistryRoot::LocalMachine, kKey, L"Added", L"x"));
      EXPECT_EQ(Read(RegistryRoot::LocalMachine, kKey, L"Path")->data, Utf16WithNul(L"during"));
    }
    EXPECT_EQ(Read(RegistryRoot::LocalMachine, kKey, L"Path")->data, Utf16WithNul(L"before"));
    EXPECT_FALSE(Read(RegistryRoot::LocalMachine, kKey, L"Added").has_value());
  }
  EXPECT_FALSE(Read(RegistryRoot::LocalMachine, kKey, L"Path").has_value());
}

// --- Special folders ------------------------------------------------------------

TEST(SpecialFolderContract, PerUserFoldersExistAndUnknownIdentifiersGiveNothing) {
  // The POSIX stand-in finds the folders below $HOME; Windows ignores these.
  testing::TempFolder home;
  testing::ScopedEnvironmentVariable home_variable(L"HOME", home.Path());
  testing::ScopedEnvironmentVariable config(L"XDG_CONFIG_HOME", L"");
  testing::ScopedEnvironmentVariable data(L"XDG_DATA_HOME", L"");

  std::vector<std::wstring> found;
  for (int csidl : {platform::kCsidlAppData, platform::kCsidlLocalAppData, platform::kCsidlPersonal,
                    platform::kCsidlProfile}) {
    SCOPED_TRACE(csidl);
    const std::wstring folder = platform::GetSpecialFolderPath(csidl);
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(testing::IsFolder(folder));
    EXPECT_NE(folder.back(), platform::kPathSeparator);
    found.push_back(folder);
  }
  EXPECT_NE(found[0], found[1]) << "roaming and local application data are apart";
  EXPECT_EQ(platform::GetSpecialFolderPath(12345), L"");
}

// --- Whole-file writes ------------------------------------------------------------

TEST(FilesContract, AtomicWritesReplaceTheWholeFileAndLeaveNothingBeside) {
  testing::TempFolder folder;
  const std::wstring path = folder.Join(L"Settings.xml");
  ASSERT_FALSE(platform::WriteFileAtomically(path, "old content, longer than the new").Failed());
  ASSERT_FALSE(platform::WriteFileAtomically(path, std::string("new\0bytes", 9)).Failed());

  std::string bytes;
  ASSERT_FALSE(platform::ReadWholeFile(path, bytes).Failed());
  EXPECT_EQ(bytes, std::string("new\0bytes", 9));
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Settings.xml"});

  ASSERT_FALSE(platform::WriteFileAtomically(path, "").Failed());
  ASSERT_FALSE(platform::ReadWholeFile(path, bytes).Failed());
  EXPECT_EQ(bytes, "");
}

// Windows' null device opens as a file would; it must not read as one. (On
// POSIX the name is an ordinary missing file; the stand-in's devices are
// covered with the other unreadable kinds in store_io_tests.cpp.)
TEST(FilesContract, TheNullDeviceIsNoFileToRead) {
  std::string bytes = "left over";
  EXPECT_TRUE(platform::ReadWholeFile(L"\\\\.\\NUL", bytes).Failed());
  EXPECT_EQ(bytes, "");
}

// A save killed before its rename leaves "<name>.<pid>-<n>.tmp" behind; the
// next save of that file removes such files of writers that are gone, and
// nothing else.
TEST(FilesContract, ASaveRemovesTheFilesLeftByKilledSavesOfThatFileOnly) {
  testing::TempFolder folder;
  const std::wstring path = folder.Join(L"StoreSettings.xml");
  // No system hands out this process id: above POSIX's largest pid_max, and
  // far above the ids Windows gives.
  const std::wstring gone = L"StoreSettings.xml.2147483644-";
  const std::wstring running = platform::os::TemporaryNameFor(L"StoreSettings.xml");
  const std::vector<std::wstring> kept = {
      running,                                  // this process's: a save in progress
      gone + L"0.tmp.bak",                      // not a name of ours
      L"StoreSettings.xml.old-0.tmp",           // no process id
      L"GeneralSettings.xml.2147483644-0.tmp",  // another file's
  };
  for (const std::wstring& name : kept)
    ASSERT_TRUE(testing::WriteFileBytes(folder.Join(name), "x"));
  for (const wchar_t* left : {L"0.tmp", L"17.tmp"})
    ASSERT_TRUE(testing::WriteFileBytes(folder.Join(gone + left), "half a save"));

  ASSERT_FALSE(platform::WriteFileAtomically(path, "new").Failed());
  std::vector<std::wstring> expected = kept;
  expected.push_back(L"StoreSettings.xml");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(folder.Entries(), expected);
}

TEST(FilesContract, AFailedWriteLeavesTheOldStateWhole) {
  testing::TempFolder folder;
  const std::wstring sub = folder.Join(L"Sub");
  ASSERT_FALSE(platform::CreateFolder(sub).Failed());

  EXPECT_TRUE(platform::WriteFileAtomically(sub, "x").Failed()) << "a folder is never replaced";
  EXPECT_TRUE(testing::IsFolder(sub));
  EXPECT_TRUE(platform::WriteFileAtomically(
                  folder.Join(L"Missing") + platform::kPathSeparator + L"f.xml", "x")
                  .Failed());
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"Sub"});
}

// --- Folder listings ----------------------------------------------------------------

// A listing may only ever say "not there" of a name that no entry answers to
// by any of the file system's or Windows' name rules.
TEST(FilesContract, AListingLacksOnlyPlainNamesThatNoEntryAnswersTo) {
  testing::TempFolder folder;
  for (const wchar_t* name : {L"store1.fdb", L"Mixed.FDB", L"Sub"})
    ASSERT_TRUE(testing::WriteFileBytes(folder.Join(name), "x"));
  const platform::FolderListing listing(folder.Path());
  for (const wchar_t* name : {L"store2.fdb", L"{0A}-x_y~1 (2)+.fdb"})
    EXPECT_TRUE(listing.CertainlyLacks(name)) << name;
  // Entries letter case aside; names Windows trims, reads as a stream, a
  // device or a pattern; names outside ASCII; no names at all.
  for (const wchar_t* name :
       {L"store1.fdb", L"STORE1.fdb", L"mixed.fdb", L"sub", L"store1.fdb.", L"store1.fdb ",
        L"store1.fdb:s", L"NUL.fdb", L"com1", L"a*", L"\u00e9.fdb", L"", L".", L".."})
    EXPECT_FALSE(listing.CertainlyLacks(name)) << name;

  EXPECT_FALSE(platform::FolderListing(folder.Join(L"Missing")).CertainlyLacks(L"a.fdb"));
  EXPECT_FALSE(platform::FolderListing(folder.Join(L"store1.fdb")).CertainlyLacks(L"a.fdb"));
  ASSERT_TRUE(testing::WriteFileBytes(folder.Join(L"\u00c9t\u00e9.fdb"), "x"));
  EXPECT_FALSE(platform::FolderListing(folder.Path()).CertainlyLacks(L"store2.fdb"))
      << "a name outside ASCII might answer to a plain one on a folding file system";
}

TEST(FilesContract, PathsToOtherMachinesDevicesAndStreamsAreToldByTheirText) {
  for (const wchar_t* path :
       {L"\\\\host\\share\\x.fdb", L"//host/share/x.fdb", L"\\\\?\\C:\\x.fdb",
        L"\\\\.\\pipe\\x", L"\\??\\C:\\x.fdb", L"C:\\data\\x.fdb:s",
        L"x.fdb:s", L"/home/u/x.fdb:$DATA", L"C:x:y"})
    EXPECT_TRUE(platform::NamesAnotherMachineOrDevice(path)) << platform::ToUtf8(path);
  for (const wchar_t* path : {L"C:\\data\\x.fdb", L"c:/data/x.fdb", L"/home/u/x.fdb",
                              L"\\data\\x.fdb", L"x.fdb", L""})
    EXPECT_FALSE(platform::NamesAnotherMachineOrDevice(path)) << platform::ToUtf8(path);

  // The long-path form of a local path is that path, where Windows passes it
  // on unchanged; every other form stays refused by its text.
  const bool backslashes = platform::kPathSeparator == L'\\';
  const struct {
    const wchar_t* Path;
    const wchar_t* Local;  // null: no local form
  } longForms[] = {
      {L"\\\\?\\C:\\data\\Ostrand\\a.fdb", L"C:\\data\\Ostrand\\a.fdb"},
      {L"\\\\?\\c:\\data", L"c:\\data"},
      {L"\\\\?\\UNC\\host\\share\\a.fdb", nullptr},
      {L"\\\\?\\Volume{0b1e0c62-0000-0000-0000-100000000000}\\a.fdb", nullptr},
      {L"\\\\?\\C:\\data\\..\\Windows\\a.fdb", nullptr},
      {L"\\\\?\\C:\\data\\.\\a.fdb", nullptr},
      {L"\\\\?\\C:\\data/a.fdb", nullptr},
      {L"\\\\?\\C:\\data\\a.fdb.", nullptr},
      {L"\\\\?\\C:\\data\\a.fdb ", nullptr},
      {L"\\\\.\\C:\\data\\a.fdb", nullptr},
      {L"C:\\data\\a.fdb", nullptr},
  };
  for (const auto& row : longForms) {
    const auto local = platform::LocalFormOfLongPath(row.Path);
    EXPECT_EQ(local.value_or(L"<none>"),
              backslashes && row.Local != nullptr ? row.Local : L"<none>")
        << platform::ToUtf8(row.Path);
  }
}

// The one split every folder-of and name-of lookup goes through: the root
// stays a folder, and joining the parts gives the path back.
TEST(FilesContract, APathSplitsAtItsLastSeparatorAndJoinsBack) {
  const std::wstring s(1, platform::kPathSeparator);
  const struct {
    std::wstring path, folder, name;
  } cases[] = {
      {s + L"a" + s + L"b.xml", s + L"a", L"b.xml"},
      {s + L"b.xml", s, L"b.xml"},
      {L"b.xml", L"", L"b.xml"},
      {L"a" + s, L"a", L""},
      {L"", L"", L""},
  };
  for (const auto& c : cases) {
    const platform::PathParts parts = platform::SplitPath(c.path);
    EXPECT_EQ(parts.Folder, c.folder) << platform::ToUtf8(c.path);
    EXPECT_EQ(parts.Name, c.name) << platform::ToUtf8(c.path);
    EXPECT_EQ(platform::JoinPath(parts.Folder, parts.Name), c.path) << platform::ToUtf8(c.path);
  }
  // '/' separates on either system (joining then uses kPathSeparator), but
  // not where kPathSeparator alone is asked for: on Windows it then stays in
  // the name, which the cleanup refuses as no plain file name.
  EXPECT_EQ(platform::SplitPath(L"C:/a/b.xml").Folder, L"C:/a");
  EXPECT_EQ(platform::SplitPath(L"C:/a/b.xml").Name, L"b.xml");
  const std::wstring mixed = s + L"a" + s + L"b/c.xml";
  const std::wstring nativeName = s == L"/" ? L"c.xml" : L"b/c.xml";
  EXPECT_EQ(platform::LastPathPart(mixed), nativeName);
  EXPECT_EQ(platform::SplitPath(mixed, platform::PathSeparators::kNativeOnly).Name, nativeName);
}

}  // namespace
}  // namespace kalinor
