// DataFolders against prepared registries and special folders kept inside a
// temporary folder (the special-folder lookup is redirected there, so no
// test touches the real user folders).
#include "datafolder/data_folders.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "platform/files.h"
#include "platform/hresult.h"
#include "platform/output_capture.h"
#include "platform/special_folders.h"
#include "platform/utf16le.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "support/test_registry.h"

namespace kalinor {
namespace {

using platform::kCsidlAppData;
using platform::kCsidlLocalAppData;
using platform::kCsidlPersonal;
using platform::kCsidlProfile;
using platform::RegistryRoot;
using testing::IsFolder;
using testing::TempFolder;
using testing::TestRegistry;

const wchar_t kPolicyKey[] = L"Software\\Policies\\Tavrin\\Pellucor";
const wchar_t kProductKey[] = L"SOFTWARE\\Tavrin\\KOVEX";
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

// Joins path parts with the platform's separator.
std::wstring Path(std::initializer_list<std::wstring> parts) {
  std::wstring joined;
  for (const auto& part : parts) {
    if (&part != parts.begin()) joined += platform::kPathSeparator;
    joined += part;
  }
  return joined;
}

std::wstring Sep() { return std::wstring(1, platform::kPathSeparator); }

std::vector<std::uint8_t> Utf16(const std::wstring& text) { return platform::ToUtf16Le(text); }

std::vector<std::uint8_t> Utf16WithNul(const std::wstring& text) {
  auto bytes = Utf16(text);
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

class DataFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::pair<int, const wchar_t*> names[] = {{kCsidlAppData, L"Roaming"},
                                                    {kCsidlPersonal, L"Documents"},
                                                    {kCsidlLocalAppData, L"Local"},
                                                    {kCsidlProfile, L"Profile"}};
    for (auto [csidl, name] : names) {
      folders_[csidl] = temp_.Join(name);
      ASSERT_FALSE(platform::CreateFolder(folders_[csidl]).Failed());
    }
    lookup_ = [this](int csidl) {
      lookups_.push_back(csidl);
      if (fail_lookups_) throw CAtlException(E_OUTOFMEMORY);
      if (unavailable_.count(csidl) != 0 || folders_.count(csidl) == 0) return std::wstring();
      return folders_[csidl];
    };
  }

  bool SetPolicy(const std::wstring& text, std::uint32_t type = platform::kRegSz) {
    return registry_.SetString(RegistryRoot::CurrentUser, kPolicyKey, L"DataPath", text, type);
  }

  const DataFolders& Build() {
    lookups_.clear();
    built_ = DataFolders::Resolve(FolderCreation::kCreate, lookup_);
    return built_;
  }

  SpecialFolderLookup lookup_;
  DataFolders built_;

  std::wstring Local() { return folders_[kCsidlLocalAppData]; }
  std::wstring Profile() { return folders_[kCsidlProfile]; }
  std::wstring Ostrand(const std::wstring& root) {
    return root + Sep() + L"Tavrin" + Sep() + L"Ostrand";
  }

  TempFolder temp_;
  TestRegistry registry_;
  platform::OutputCapture capture_;
  std::map<int, std::wstring> folders_;
  std::set<int> unavailable_;
  std::vector<int> lookups_;
  bool fail_lookups_ = false;
};

TEST_F(DataFoldersTest, WithoutPolicyTheLocalFolderIsTheRootAndNothingIsWritten) {
  const DataFolders& folders = Build();

  EXPECT_EQ(folders.DataFolder(), Ostrand(Local()));
  EXPECT_TRUE(IsFolder(folders.DataFolder()));
  EXPECT_EQ(folders.PellucorDataFolder(), Path({Local(), L"Tavrin", L"Pellucor"}));
  EXPECT_FALSE(platform::PathExists(folders.PellucorDataFolder()));
  EXPECT_TRUE(IsFolder(Path({Ostrand(Local()), L"DebugLogs"})));
  // No product path: no seed folder at the root of the drive.
  EXPECT_EQ(folders.InstallDataFolder(), L"");
  EXPECT_TRUE(capture_.debug_output.empty());
  // The local folder is looked up before the policy is judged, and afresh for the fallback.
  EXPECT_EQ(lookups_, (std::vector<int>{kCsidlLocalAppData, kCsidlLocalAppData}));
}

TEST_F(DataFoldersTest, AnAbsoluteProductPathIsTakenExactlyAsReadAndARelativeOneIsNone) {
  const std::wstring install = temp_.Join(L"%UserProfile%" + Sep() + L"KOVEX ");
  ASSERT_TRUE(registry_.SetString(RegistryRoot::LocalMachine, kProductKey, L"Path", install));
  // The product value lives under HKLM only; the same key under HKCU is not read.
  ASSERT_TRUE(registry_.SetString(RegistryRoot::CurrentUser, kProductKey, L"Path", L"wrong"));
  EXPECT_EQ(Build().InstallDataFolder(), install + Sep() + L"Data");
  EXPECT_EQ(DataFolders::ReadProductValue(L"Path"), install);

  // Relative to the current folder (or drive): nothing is seeded from it.
  for (const std::wstring& relative : {L" " + install, std::wstring(L"KOVEX"), Sep() + L"x"}) {
    if (relative == Sep() + L"x" && platform::kPathSeparator == L'/') continue;  // absolute here
    ASSERT_TRUE(registry_.SetString(RegistryRoot::LocalMachine, kProductKey, L"Path", relative));
    EXPECT_EQ(Build().InstallDataFolder(), L"") << platform::ToUtf8(relative);
  }
}

TEST_F(DataFoldersTest, PolicyMacroInMixedCaseIsTrimmedLoweredExpandedAndWritten) {
  ASSERT_FALSE(platform::CreateFolder(Path({Profile(), L"archive"})).Failed());
  ASSERT_TRUE(SetPolicy(L" \t %UsErPrOfIlE%" + Sep() + L"ARCHIVE \u00A0\r\n"));

  const DataFolders& folders = Build();

  const std::wstring root = Path({Profile(), L"archive"});
  EXPECT_EQ(capture_.debug_output, std::vector<std::wstring>{root});
  EXPECT_EQ(folders.DataFolder(), Ostrand(root));
  EXPECT_TRUE(IsFolder(folders.DataFolder()));
  EXPECT_EQ(folders.PellucorDataFolder(), Path({root, L"Tavrin", L"Pellucor"}));
  // The debug logs stay under the local folder, whatever the policy says.
  EXPECT_TRUE(IsFolder(Path({Ostrand(Local()), L"DebugLogs"})));
  EXPECT_FALSE(platform::PathExists(Path({Ostrand(root), L"DebugLogs"})));
  EXPECT_EQ(lookups_, (std::vector<int>{kCsidlLocalAppData, kCsidlProfile}));
}

TEST_F(DataFoldersTest, PolicyFolderThatDoesNotExistFallsBackAndIsNotCreated) {
  ASSERT_TRUE(SetPolicy(L"%userprofile%" + Sep() + L"missing"));

  const DataFolders& folders = Build();

  const std::wstring named = Path({Profile(), L"missing"});
  EXPECT_EQ(capture_.debug_output, std::vector<std::wstring>{named});
  EXPECT_FALSE(platform::PathExists(named));
  EXPECT_EQ(folders.DataFolder(), Ostrand(Local()));
  EXPECT_EQ(folders.PellucorDataFolder(), Path({Local(), L"Tavrin", L"Pellucor"}));
}

TEST_F(DataFoldersTest, OnlyTheFirstMacroInTableOrderIsExpanded) {
  ASSERT_TRUE(SetPolicy(L"%MyDocuments%%UserProfile%"));

  const DataFolders& folders = Build();

  EXPECT_EQ(capture_.debug_output,
            std::vector<std::wstring>{folders_[kCsidlPersonal] + L"%userprofile%"});
  EXPECT_EQ(folders.DataFolder(), Ostrand(Local()));
  EXPECT_EQ(std::count(lookups_.begin(), lookups_.end(), kCsidlProfile), 0);
}

TEST_F(DataFoldersTest, ExpandStringIsNotExpandedFromTheEnvironment) {
  // Were the environment form expanded, the root would be this other folder.
  const std::wstring decoy = temp_.Join(L"decoy");
  ASSERT_FALSE(platform::CreateFolder(decoy).Failed());
  testing::ScopedEnvironmentVariable variable(L"USERPROFILE", decoy);
  ASSERT_TRUE(SetPolicy(L"%USERPROFILE%", platform::kRegExpandSz));

  EXPECT_EQ(DataFolders::ReadPolicyValue(L"DataPath"), L"%USERPROFILE%");
  const DataFolders& folders = Build();

  EXPECT_EQ(capture_.debug_output, std::vector<std::wstring>{Profile()});
  EXPECT_EQ(folders.DataFolder(), Ostrand(Profile()));
}

TEST_F(DataFoldersTest, BlankPolicyCountsAsAbsent) {
  ASSERT_TRUE(SetPolicy(L" \t\u3000 "));

  const DataFolders& folders = Build();

  EXPECT_TRUE(capture_.debug_output.empty());
  EXPECT_EQ(folders.DataFolder(), Ostrand(Local()));
}

TEST_F(DataFoldersTest, PolicyEndingInASeparatorKeepsItInTheRoot) {
  const std::wstring root = temp_.Join(L"policy") + Sep();
  ASSERT_FALSE(platform::CreateFolder(temp_.Join(L"policy")).Failed());
  ASSERT_TRUE(SetPolicy(root));

  const DataFolders& folders = Build();

  // The policy value comes back lower-cased.
  EXPECT_EQ(folders.DataFolder(),
            platform::AsciiLower(root) + Sep() + L"Tavrin" + Sep() + L"Ostrand");
  EXPECT_TRUE(IsFolder(folders.DataFolder()));
}

TEST_F(DataFoldersTest, FailedMacroLookupInsertsNothing) {
  unavailable_ = {kCsidlAppData};
  ASSERT_TRUE(SetPolicy(L"%APPLICATIONDATA%" + Sep() + L"x"));

  const DataFolders& folders = Build();

  EXPECT_EQ(capture_.debug_output, std::vector<std::wstring>{Sep() + L"x"});
  EXPECT_EQ(folders.DataFolder(), Ostrand(Local()));
}

// Without a local folder (or with a relative one) the data folder would hang
// from the root of the drive or the current folder: there is none, one error
// line says so, and nothing is created. An existing policy folder still serves.
TEST_F(DataFoldersTest, WithoutAnAbsoluteLocalFolderThereIsNoDataFolder) {
  const std::wstring error = L"Error finding the local application data folder: 0X80004005";
  for (const bool relative : {false, true}) {
    if (relative) {
      unavailable_.clear();
      folders_[kCsidlLocalAppData] = L"Local";
    } else {
      unavailable_ = {kCsidlLocalAppData};
    }
    capture_.debug_output.clear();
    const DataFolders& folders = Build();
    EXPECT_EQ(folders.DataFolder(), L"");
    EXPECT_EQ(folders.PellucorDataFolder(), L"");
    EXPECT_EQ(capture_.debug_output, std::vector<std::wstring>{error});
    EXPECT_FALSE(platform::PathExists(Sep() + L"Tavrin"));
    EXPECT_FALSE(platform::PathExists(L"Local"));
  }

  ASSERT_TRUE(SetPolicy(L"%userprofile%"));
  capture_.debug_output.clear();
  EXPECT_EQ(Build().DataFolder(), Ostrand(Profile()));
  EXPECT_EQ(capture_.debug_output, std::vector<std::wstring>{Profile()});
}

// A relative policy value would put the data folder under the current
// folder: the root falls back as for a folder that does not exist.
TEST_F(DataFoldersTest, ARelativePolicyValueFallsBackToTheLocalFolder) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::path(temp_.Path()));
  ASSERT_FALSE(platform::CreateFolder(L"relative").Failed());
  ASSERT_TRUE(SetPolicy(L"relative"));
  const std::wstring dataFolder = Build().DataFolder();
  std::filesystem::current_path(previous);
  EXPECT_EQ(dataFolder, Ostrand(Local()));
  EXPECT_FALSE(platform::PathExists(temp_.Join(L"relative" + Sep() + L"Tavrin")));
}

TEST_F(DataFoldersTest, AFailedResolvePassesItsExceptionOnAndTheNextOneResolves) {
  fail_lookups_ = true;
  try {
    Build();
    FAIL() << "the build should have raised";
  } catch (const CAtlException& e) {
    EXPECT_EQ(e.Error(), E_OUTOFMEMORY);
  }
  EXPECT_FALSE(platform::PathExists(Ostrand(Local())));

  fail_lookups_ = false;
  const DataFolders& folders = Build();

  EXPECT_EQ(folders.DataFolder(), Ostrand(Local()));
  EXPECT_TRUE(IsFolder(folders.DataFolder()));
}

// The acceptance rules for a registry string, on the bytes as stored.
TEST_F(DataFoldersTest, RegistryStringsAreAcceptedOnlyWhenWellFormed) {
  auto policy_with = [this](std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
    EXPECT_TRUE(registry_.SetRaw(RegistryRoot::CurrentUser, kPolicyKey, L"DataPath", type, bytes));
    return DataFolders::ReadPolicyValue(L"DataPath");
  };
  std::vector<std::uint8_t> odd = Utf16WithNul(L"abc");
  odd.push_back(0);
  std::vector<std::uint8_t> embedded = Utf16WithNul(L"ab");
  auto tail = Utf16WithNul(L"cd");
  embedded.insert(embedded.end(), tail.begin(), tail.end());
  std::vector<std::uint8_t> unterminated_inner = Utf16WithNul(L"ab");
  auto rest = Utf16(L"cd");
  unterminated_inner.insert(unterminated_inner.end(), rest.begin(), rest.end());
  std::vector<std::uint8_t> full_without_nul = Utf16(std::wstring(260, L'a'));
  std::vector<std::uint8_t> one_too_many = Utf16WithNul(std::wstring(260, L'a'));

  EXPECT_EQ(policy_with(platform::kRegSz, Utf16WithNul(L"C:\\Data")), L"C:\\Data");
  EXPECT_EQ(policy_with(platform::kRegExpandSz, Utf16WithNul(L"%TEMP%")), L"%TEMP%");
  EXPECT_EQ(policy_with(platform::kRegSz, {}), L"");
  EXPECT_EQ(policy_with(platform::kRegSz, Utf16(L"abc")), L"") << "no terminator";
  EXPECT_EQ(policy_with(platform::kRegSz, odd), L"") << "odd size";
  EXPECT_EQ(policy_with(platform::kRegSz, {0}), L"") << "one byte";
  EXPECT_EQ(policy_with(platform::kRegSz, embedded), L"ab") << "up to the first NUL";
  EXPECT_EQ(policy_with(platform::kRegSz, unterminated_inner), L"") << "NUL inside, not last";
  EXPECT_EQ(policy_with(platform::kRegSz, Utf16WithNul(std::wstring(259, L'a'))),
            std::wstring(259, L'a'))
      << "520 bytes with the terminator: the longest that fits";
  EXPECT_EQ(policy_with(platform::kRegSz, full_without_nul), L"") << "520 bytes, no terminator";
  EXPECT_EQ(policy_with(platform::kRegSz, one_too_many), L"") << "522 bytes";
  EXPECT_EQ(policy_with(kRegBinary, Utf16WithNul(L"C:\\Data")), L"");
  EXPECT_EQ(policy_with(kRegMultiSz, Utf16WithNul(L"C:\\Data")), L"");
  EXPECT_EQ(policy_with(kRegDword, {0x61, 0, 0, 0}), L"");
  EXPECT_EQ(policy_with(platform::kRegSz, Utf16WithNul(L"J\u00F6rg \U0001F600")),
            L"J\u00F6rg \U0001F600");
}

TEST(DataFoldersTrim, TrimsCLocaleWhiteSpaceAtBothEndsOnly) {
  std::wstring text = L"\t\n\v\f\r \u00A0a \u2003b\u3000\u2028 ";
  DataFolders::TrimWhiteSpace(text);
  EXPECT_EQ(text, L"a \u2003b");

  // Not white space in the "C" locale: NEL, zero-width space, byte-order mark.
  std::wstring kept = L"\u0085x\u200B\uFEFF";
  DataFolders::TrimWhiteSpace(kept);
  EXPECT_EQ(kept, L"\u0085x\u200B\uFEFF");

  std::wstring blank = L" \t ";
  DataFolders::TrimWhiteSpace(blank);
  EXPECT_EQ(blank, L"");
}

class FolderMacroTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lookup_ = [this](int csidl) {
      ++lookups_;
      switch (csidl) {
        case kCsidlAppData:
          return std::wstring(L"R:\\Roaming");
        case kCsidlLocalAppData:
          return std::wstring(L"L:\\Local");
        case kCsidlProfile:
          return profile_;
        default:
          return std::wstring();
      }
    };
  }

  std::wstring Expanded(std::wstring path) {
    DataFolders::ExpandFolderMacros(path, lookup_);
    return path;
  }

  SpecialFolderLookup lookup_;
  std::wstring profile_ = L"P:\\Users\\J\u00D6RG";
  int lookups_ = 0;
};

TEST_F(FolderMacroTest, EveryOccurrenceOfTheFirstMacroIsReplacedInTheFolderCase) {
  EXPECT_EQ(Expanded(L"A%LocalApplicationData%\\B%LOCALAPPLICATIONDATA%"),
            L"aL:\\Local\\bL:\\Local");
  EXPECT_EQ(lookups_, 1);
  EXPECT_EQ(Expanded(L"x\\%UserProfile%"), L"x\\P:\\Users\\J\u00D6RG");
}

TEST_F(FolderMacroTest, TableOrderDecidesNotPositionInThePath) {
  EXPECT_EQ(Expanded(L"%userprofile%\\%applicationdata%"), L"%userprofile%\\R:\\Roaming");
  EXPECT_EQ(Expanded(L"%localapplicationdata%%applicationdata%"),
            L"%localapplicationdata%R:\\Roaming");
}

TEST_F(FolderMacroTest, LowerCasesOnlyAsciiLettersAndLeavesTextWithoutMacros) {
  EXPECT_EQ(Expanded(L"C:\\\u00C4RCHIV\\Data%"), L"c:\\\u00C4rchiv\\data%");
  EXPECT_EQ(lookups_, 0);
}

TEST_F(FolderMacroTest, AFolderWhoseNameHoldsTheMacroIsNotExpandedAgain) {
  profile_ = L"P:\\%userprofile%";
  EXPECT_EQ(Expanded(L"%userprofile%|%userprofile%"), L"P:\\%userprofile%|P:\\%userprofile%");
}

TEST(CreateFolderPathWalk, DrivePathsWalkEveryPrefixFromTheDrive) {
  const std::wstring s = Sep();
  EXPECT_EQ(platform::FolderPathPrefixes(L"C:" + s + L"x" + s + L"y"),
            (std::vector<std::wstring>{L"C:", L"C:" + s + L"x", L"C:" + s + L"x" + s + L"y"}));
  // A trailing separator changes nothing.
  EXPECT_EQ(platform::FolderPathPrefixes(L"C:" + s + L"x" + s),
            (std::vector<std::wstring>{L"C:", L"C:" + s + L"x"}));
  // The drive alone is still tested (and would be created, failing, were it missing).
  EXPECT_EQ(platform::FolderPathPrefixes(L"C:"), std::vector<std::wstring>{L"C:"});
  // Two characters with the separator: nothing to walk.
  EXPECT_TRUE(platform::FolderPathPrefixes(L"x").empty());
}

TEST(CreateFolderPathWalk, AbsolutePathsLeaveTheRootAlone) {
  const std::wstring s = Sep();
  EXPECT_EQ(platform::FolderPathPrefixes(s + L"a" + s + L"b"),
            (std::vector<std::wstring>{s + L"a", s + L"a" + s + L"b"}));
  EXPECT_EQ(platform::FolderPathPrefixes(s + L"Tavrin" + s + L"Ostrand"),
            (std::vector<std::wstring>{s + L"Tavrin", s + L"Tavrin" + s + L"Ostrand"}));
  EXPECT_TRUE(platform::FolderPathPrefixes(s).empty());
  // A doubled separator gives a prefix that ends in one.
  EXPECT_EQ(platform::FolderPathPrefixes(s + L"a" + s + s + L"b"),
            (std::vector<std::wstring>{s + L"a", s + L"a" + s, s + L"a" + s + s + L"b"}));
}

TEST(CreateFolderPathWalk, UncRootIsNeverCreatedOnlyTheFoldersBelowIt) {
  const std::wstring s = Sep();
  const std::wstring share = s + s + L"server" + s + L"share";
  EXPECT_EQ(platform::FolderPathPrefixes(share + s + L"a" + s + L"b"),
            (std::vector<std::wstring>{share + s + L"a", share + s + L"a" + s + L"b"}));
  EXPECT_TRUE(platform::FolderPathPrefixes(share).empty());
  EXPECT_TRUE(platform::FolderPathPrefixes(share + s).empty());
  EXPECT_TRUE(platform::FolderPathPrefixes(s + s + L"server").empty());
}

TEST(CreateFolderPath, CreatesEveryMissingFolderAndStopsAtAFailure) {
  TempFolder temp;
  const std::wstring deep = Path({temp.Path(), L"a", L"b", L"c"});
  EXPECT_TRUE(DataFolders::CreateFolderPath(deep));
  EXPECT_TRUE(IsFolder(deep));
  EXPECT_TRUE(DataFolders::CreateFolderPath(deep)) << "all there already";

  const std::wstring file = temp.Join(L"file");
  ASSERT_TRUE(testing::WriteFileBytes(file, "x"));
  EXPECT_FALSE(DataFolders::CreateFolderPath(Path({file, L"x", L"y"})));
  EXPECT_FALSE(platform::PathExists(Path({file, L"x"})));
}

TEST(CreateFolderPath, EmptyPathIsAnInvalidArgument) {
  try {
    DataFolders::CreateFolderPath(L"");
    FAIL() << "an empty path should raise";
  } catch (const CAtlException& e) {
    EXPECT_EQ(e.Error(), E_INVALIDARG);
  }
}

}  // namespace
}  // namespace kalinor
