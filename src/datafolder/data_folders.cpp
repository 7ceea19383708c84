#include "datafolder/data_folders.h"

#include <array>

#include "platform/files.h"
#include "platform/hresult.h"
#include "platform/registry.h"
#include "platform/special_folders.h"
#include "platform/text.h"
#include "report/debug_trace.h"

namespace kalinor {

namespace {

using platform::kPathSeparator;

const wchar_t kPolicyKey[] = L"Software\\Policies\\Tavrin\\Pellucor";
const wchar_t kProductKey[] = L"SOFTWARE\\Tavrin\\KOVEX";

struct FolderMacro {
  const wchar_t* text;
  int csidl;
};

// In the order in which they are tried; the first one found is the only one expanded.
constexpr std::array<FolderMacro, 4> kFolderMacros{{
    {L"%applicationdata%", platform::kCsidlAppData},
    {L"%mydocuments%", platform::kCsidlPersonal},
    {L"%localapplicationdata%", platform::kCsidlLocalAppData},
    {L"%userprofile%", platform::kCsidlProfile},
}};

// A folder name with its leading separator, as every suffix carries one.
std::wstring Suffix(const wchar_t* name) { return kPathSeparator + std::wstring(name); }

std::wstring OstrandSuffix() { return Suffix(L"Tavrin") + Suffix(L"Ostrand"); }

// White space as the C library's wide test counts it in the "C" locale:
// U+0009..U+000D, U+0020 and U+00A0, and above U+00FF the characters that
// Unicode classes as white space. A fixed set, so that the result never
// depends on the locale the process happens to run in.
bool IsWideWhiteSpace(wchar_t c) {
  if (c < 0x100) return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0;
  return c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

// A special folder is used only as an absolute path: anything else would be
// taken relative to the current folder or drive.
std::wstring AbsoluteOrEmpty(std::wstring folder) {
  return platform::IsAbsolutePath(folder) ? folder : std::wstring();
}

}  // namespace

DataFolders DataFolders::Resolve(FolderCreation creation, const SpecialFolderLookup& lookup) {
  DataFolders folders;
  folders.folders_ = Build(creation, lookup ? lookup : ShellSpecialFolders(creation));
  return folders;
}

std::wstring DataFolders::DataFolder() const { return folders_.DataFolder; }

std::wstring DataFolders::PellucorDataFolder() const { return folders_.PellucorDataFolder; }

std::wstring DataFolders::InstallDataFolder() const { return folders_.InstallDataFolder; }

std::wstring DataFolders::DebugLogsFolder() const { return folders_.DebugLogsFolder; }

std::wstring DataFolders::DataFolderAsItStands() {
  return Build(FolderCreation::kNone, ShellSpecialFolders(FolderCreation::kNone), Reporting::kQuiet)
      .DataFolder;
}

DataFolders::Folders DataFolders::Build(FolderCreation creation, const SpecialFolderLookup& lookup,
                                        Reporting reporting) {
  const bool creates = creation == FolderCreation::kCreate;
  const bool reports = reporting == Reporting::kReport;
  Folders folders;
  std::wstring raw = ReadPolicyValue(L"DataPath");
  folders.Origin.PolicyValue = raw;
  // Looked up whether or not the policy is used: the debug logs always live here.
  std::wstring local = AbsoluteOrEmpty(lookup(platform::kCsidlLocalAppData));
  TrimWhiteSpace(raw);
  if (!raw.empty()) {
    ExpandFolderMacros(raw, lookup);
    if (reports) DebugTraceForLog({raw}, L"DataPath policy value, expanded: " + raw);
    folders.Origin.ExpandedPolicyValue = raw;
  }
  // A policy folder that does not exist is never created, and a relative one
  // would depend on the current folder: the root falls back.
  folders.Origin.PolicyUsed =
      !raw.empty() && platform::IsAbsolutePath(raw) && platform::PathExists(raw);
  if (!folders.Origin.PolicyUsed) raw = AbsoluteOrEmpty(lookup(platform::kCsidlLocalAppData));

  if (raw.empty()) {
    // Without a root the data folder would be at the root of the current
    // drive, where any user may have planted files: no data folder at all.
    if (reports)
      DebugTraceText(L"Error finding the local application data folder: 0X80004005",
                     platform::LineSeverity::kError);
  } else {
    folders.DataFolder = raw + OstrandSuffix();
    folders.PellucorDataFolder = raw + Suffix(L"Tavrin") + Suffix(L"Pellucor");
    if (creates) CreateFolderPath(folders.DataFolder);
  }
  folders.InstallPath = ReadProductValue(L"Path");
  // An empty or relative product path would seed from a folder at the root
  // of the current drive, or under the current folder: no seed folder then.
  if (platform::IsAbsolutePath(folders.InstallPath))
    folders.InstallDataFolder = folders.InstallPath + Suffix(L"Data");
  if (!local.empty()) {
    folders.DebugLogsFolder = local + OstrandSuffix() + Suffix(L"DebugLogs");
    if (creates) CreateFolderPath(folders.DebugLogsFolder);
  }
  return folders;
}

std::wstring DataFolders::ReadPolicyValue(const std::wstring& name) {
  return platform::ReadRegistryString(platform::RegistryRoot::CurrentUser, kPolicyKey, name).text;
}

std::wstring DataFolders::ReadProductValue(const std::wstring& name) {
  return platform::ReadRegistryString(platform::RegistryRoot::LocalMachine, kProductKey, name).text;
}

SpecialFolderLookup DataFolders::ShellSpecialFolders(FolderCreation creation) {
  const auto shellCreation = creation == FolderCreation::kCreate
                                 ? platform::SpecialFolderCreation::kCreate
                                 : platform::SpecialFolderCreation::kNone;
  return
      [shellCreation](int csidl) { return platform::GetSpecialFolderPath(csidl, shellCreation); };
}

void DataFolders::TrimWhiteSpace(std::wstring& text) {
  std::size_t end = text.size();
  while (end > 0 && IsWideWhiteSpace(text[end - 1])) --end;
  text.erase(end);
  std::size_t begin = 0;
  while (begin < text.size() && IsWideWhiteSpace(text[begin])) ++begin;
  text.erase(0, begin);
}

void DataFolders::ExpandFolderMacros(std::wstring& path, const SpecialFolderLookup& lookup) {
  path = platform::AsciiLower(std::move(path));
  for (const FolderMacro& macro : kFolderMacros) {
    const std::wstring_view name = macro.text;
    std::size_t at = path.find(name);
    if (at == std::wstring::npos) continue;
    const std::wstring folder = lookup(macro.csidl);
    // Searching on after the inserted text: a folder whose name holds the
    // macro is not expanded again.
    for (; at != std::wstring::npos; at = path.find(name, at + folder.size()))
      path.replace(at, name.size(), folder);
    return;
  }
}

bool DataFolders::CreateFolderPath(const std::wstring& path) {
  if (path.empty()) throw CAtlException(E_INVALIDARG);
  return !platform::CreateFolderWithParents(path).Failed();
}

}  // namespace kalinor
