// What the held folder and the checked files promise, on both builds (under
// Wine: the real Windows calls): a link at an entry or on the way is refused,
// never followed; only the folder's own regular file is read, within its
// bound; and every failure carries the kind that shared code asks about.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <string>

#include "platform/checked_file.h"
#include "platform/files_os.h"
#include "platform/held_folder.h"
#include "platform/held_folder_os.h"
#include "platform/text.h"
#include "support/temp_folder.h"

namespace kalinor {
namespace {

using platform::ErrorKind;
using platform::HeldFolder;
using platform::SystemError;
using testing::FileSystemPath;
namespace fs = std::filesystem;

const wchar_t kSeparator[] = {platform::kPathSeparator, L'\0'};

// A held folder "held" beside a folder "outside" that holds a file the acts
// must never reach.
class HeldFolderContract : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(testing::MakeFolder(Held()));
    ASSERT_TRUE(testing::MakeFolder(Outside()));
    ASSERT_TRUE(testing::WriteBytes(Outside() + kSeparator + L"secret", "outside"));
  }
  std::wstring Held() const { return temp_.Join(L"held"); }
  std::wstring Outside() const { return temp_.Join(L"outside"); }
  std::wstring In(const std::wstring& relative) const { return Held() + kSeparator + relative; }
  bool OutsideIsWhole() const {
    return testing::ReadBytes(Outside() + kSeparator + L"secret") == std::string("outside");
  }

 private:
  testing::TempFolder temp_;
};

// One arrangement inside the held folder, an act on it, and the kind of its
// failure (kNone: it succeeds).
struct ActRow {
  const char* What;
  std::function<bool(const HeldFolderContract&)> Arrange;  // false: cannot be made here
  std::function<SystemError(const HeldFolder&)> Act;
  ErrorKind Expected;
};

bool MakeFile(const HeldFolderContract& t, const wchar_t* name, const std::string& bytes) {
  return testing::WriteBytes(t.In(name), bytes);
}
bool LinkToSecret(const HeldFolderContract& t) {
  std::error_code error;
  fs::create_symlink(FileSystemPath(t.Outside() + kSeparator + L"secret"),
                     FileSystemPath(t.In(L"leaf")), error);
  return !error;
}
bool LinkToOutside(const HeldFolderContract& t) {
  std::error_code error;
  fs::create_directory_symlink(FileSystemPath(t.Outside()), FileSystemPath(t.In(L"way")), error);
  return !error;
}
bool TwoNames(const HeldFolderContract& t) {
  std::error_code error;
  if (!MakeFile(t, L"first", "one file")) return false;
  fs::create_hard_link(FileSystemPath(t.In(L"first")), FileSystemPath(t.In(L"second")), error);
  return !error;
}

// A whole read's failure; a failed read leaves no bytes behind.
SystemError ReadOf(const HeldFolder& held, const std::wstring& relative,
                   std::size_t bound = platform::kWholeFileReadLimit) {
  std::string bytes = "stale";
  const SystemError error = held.ReadWhole(relative, bytes, bound);
  EXPECT_TRUE(!error.Failed() || bytes.empty()) << "a failed read left bytes";
  return error;
}

TEST_F(HeldFolderContract, EachActRefusesWhatItMustWithTheKindSharedCodeAsksAbout) {
  const std::wstring onTheWay = std::wstring(L"way") + kSeparator + L"secret";
  const ActRow rows[] = {
      {"a link at the entry is not read through", LinkToSecret,
       [](const HeldFolder& h) { return ReadOf(h, L"leaf"); }, ErrorKind::kIsLink},
      {"a link at the entry is deleted as itself", LinkToSecret,
       [](const HeldFolder& h) { return h.Delete(L"leaf"); }, ErrorKind::kNone},
      {"a link on the way is not read through", LinkToOutside,
       [&](const HeldFolder& h) { return ReadOf(h, onTheWay); }, ErrorKind::kIsLink},
      {"a link on the way is not deleted through", LinkToOutside,
       [&](const HeldFolder& h) { return h.Delete(onTheWay); }, ErrorKind::kIsLink},
      {"a folder is not read", [](const auto& t) { return testing::MakeFolder(t.In(L"sub")); },
       [](const HeldFolder& h) { return ReadOf(h, L"sub"); }, ErrorKind::kIsFolder},
      {"a folder is not deleted", [](const auto& t) { return testing::MakeFolder(t.In(L"sub")); },
       [](const HeldFolder& h) { return h.Delete(L"sub"); }, ErrorKind::kIsFolder},
      {"a folder is not written over",
       [](const auto& t) { return testing::MakeFolder(t.In(L"sub")); },
       [](const HeldFolder& h) {
         return h.WriteAtomically(L"sub", "x", platform::ExistingFile::kReplace);
       },
       ErrorKind::kIsFolder},
      {"a file with a second name is not read", TwoNames,
       [](const HeldFolder& h) { return ReadOf(h, L"first"); }, ErrorKind::kOther},
      {"a file over the bound is not read",
       [](const auto& t) { return MakeFile(t, L"big", "eleven byte"); },
       [](const HeldFolder& h) { return ReadOf(h, L"big", 10); }, ErrorKind::kTooLarge},
      {"a file within the bound is read",
       [](const auto& t) { return MakeFile(t, L"small", "ten bytes!"); },
       [](const HeldFolder& h) { return ReadOf(h, L"small", 10); }, ErrorKind::kNone},
      {"nothing to delete is not found", [](const auto&) { return true; },
       [](const HeldFolder& h) { return h.Delete(L"gone"); }, ErrorKind::kNotFound},
      {"nothing to read is not found", [](const auto&) { return true; },
       [](const HeldFolder& h) { return ReadOf(h, L"gone"); }, ErrorKind::kNotFound},
      {"a kept name is not written over",
       [](const auto& t) { return MakeFile(t, L"taken", "old"); },
       [](const HeldFolder& h) {
         return h.WriteAtomically(L"taken", "new", platform::ExistingFile::kKeep);
       },
       ErrorKind::kExists},
      {"a move never replaces",
       [](const auto& t) { return MakeFile(t, L"from", "a") && MakeFile(t, L"taken", "b"); },
       [](const HeldFolder& h) { return h.MoveTo(L"from", h, L"taken"); }, ErrorKind::kExists},
  };
  for (const ActRow& row : rows) {
    SCOPED_TRACE(row.What);
    testing::RemoveTree(Held());
    ASSERT_TRUE(testing::MakeFolder(Held()));
    if (!row.Arrange(*this)) {
      std::cout << "[ SKIPPED  ] cannot be made here: " << row.What << "\n";
      continue;
    }
    const HeldFolder held = HeldFolder::Open(Held());
    ASSERT_TRUE(held.IsHeld());
    const SystemError error = row.Act(held);
    EXPECT_EQ(error.Kind(), row.Expected) << platform::ToUtf8(DescribeSystemError(error));
    EXPECT_TRUE(OutsideIsWhole());
  }
}

// Names of the form a save's temporary files take, planted beforehand, stand
// in no save's way: its names cannot be guessed, and a taken one is replaced.
TEST_F(HeldFolderContract, PlantedTemporaryNamesStandInNoSavesWay) {
  const std::wstring stem =
      L"Settings.xml." + std::to_wstring(platform::os::CurrentProcessId()) + L"-";
  for (int n = 0; n < 100; ++n)
    ASSERT_TRUE(testing::WriteBytes(In(stem + std::to_wstring(n) + L".tmp"), "planted"));
  const HeldFolder held = HeldFolder::Open(Held());
  ASSERT_TRUE(held.IsHeld());
  const SystemError error =
      held.WriteAtomically(L"Settings.xml", "saved", platform::ExistingFile::kReplace);
  EXPECT_FALSE(error.Failed()) << platform::ToUtf8(DescribeSystemError(error));
  EXPECT_EQ(testing::ReadBytes(In(L"Settings.xml")), std::string("saved"));
  EXPECT_EQ(testing::ReadBytes(In(stem + L"0.tmp")), std::string("planted"));
  EXPECT_EQ(testing::TempFolder::FolderEntries(Held()).size(), 101u);
}

// The checked files (the log, the debugger-output file, a lock) take the
// same refusals by path.
TEST_F(HeldFolderContract, CheckedFilesRefuseALinkAFolderAndASecondName) {
  const struct {
    const char* What;
    std::function<bool(const HeldFolderContract&)> Arrange;
    const wchar_t* Name;
    const wchar_t* Refusal;  // null: the system's own words, which differ
  } rows[] = {
      {"a link", LinkToSecret, L"leaf", L"a link"},
      {"a folder", [](const auto& t) { return testing::MakeFolder(t.In(L"sub")); }, L"sub",
       nullptr},
      {"a second name", TwoNames, L"first", L"2 links"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.What);
    testing::RemoveTree(Held());
    ASSERT_TRUE(testing::MakeFolder(Held()));
    if (!row.Arrange(*this)) continue;
    const platform::CheckedFile file =
        platform::OpenCheckedFile(In(row.Name), platform::CheckedFileUse::kLock);
    EXPECT_FALSE(file.File.IsValid());
    EXPECT_FALSE(file.Refusal.empty());
    if (row.Refusal != nullptr) {
      EXPECT_EQ(file.Refusal, row.Refusal);
    }
    EXPECT_TRUE(OutsideIsWhole());
  }
  // A privileged run appends to a log by name and to nothing else: its lines
  // end in text others chose.
  const platform::CheckedFile script =
      platform::OpenCheckedFile(In(L"setup.cmd"), platform::CheckedFileUse::kAppend);
  if (platform::os::RunIsPrivileged()) {
    EXPECT_EQ(script.Refusal, L"not a .log file, which is all an elevated run appends to");
    EXPECT_FALSE(testing::ReadBytes(In(L"setup.cmd")));
  } else {
    EXPECT_TRUE(script.File.IsValid()) << platform::ToUtf8(script.Refusal);
  }
}

}  // namespace
}  // namespace kalinor
