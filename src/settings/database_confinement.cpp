#include "settings/database_confinement.h"

#include <utility>

#include "platform/files.h"

namespace kalinor {

namespace {

using platform::FileKind;
using platform::kPathSeparator;

const wchar_t* const kSettingsFileNames[] = {L"GeneralSettings.xml", L"StoreSettings.xml"};

// The comparison key of a real path with a closing separator, so that a
// prefix test cannot match a sibling ("Ostrand2"); "" for "".
std::wstring FolderKeyOf(std::wstring real) {
  if (real.empty()) return {};
  if (real.back() != kPathSeparator) real += kPathSeparator;
  return platform::PathComparisonKey(real);
}

// The key of one of the two data folders; "" when it is no folder or cannot
// be resolved.
std::wstring FolderKey(const std::wstring& folder) {
  if (folder.empty()) return {};
  std::wstring real = platform::RealPathOf(folder);
  if (real.empty() || platform::QueryFileKind(real) != FileKind::kFolder) return {};
  return FolderKeyOf(std::move(real));
}

// Whether the entry whose key is given is the folder whose key is folderKey
// or lies below it; false when either is unresolved.
bool IsAtOrBelow(const std::wstring& key, const std::wstring& folderKey) {
  return !folderKey.empty() && key.compare(0, folderKey.size(), folderKey) == 0;
}

bool IsBelow(const std::wstring& key, const std::wstring& folderKey) {
  return key.size() > folderKey.size() && IsAtOrBelow(key, folderKey);
}

// The last part of a path; the whole of one without a separator.
std::wstring NameOf(const std::wstring& path) {
  return path.substr(path.rfind(kPathSeparator) + 1);
}

bool IsSettingsFileName(const std::wstring& key) {
  const std::wstring name = NameOf(key);
  for (const wchar_t* settings : kSettingsFileNames)
    if (name == platform::PathComparisonKey(settings)) return true;
  return false;
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t separator = path.rfind(kPathSeparator);
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

}  // namespace

std::wstring FileNamePart(const std::wstring& path) {
  const std::size_t separator = path.rfind(kPathSeparator);
  if (separator == std::wstring::npos) return kPathSeparator + path;
  return path.substr(separator);
}

DatabaseConfinement::DatabaseConfinement(std::wstring dataFolder,
                                         const std::wstring& pellucorFolder)
    : dataFolder_(std::move(dataFolder)),
      dataKey_(FolderKey(dataFolder_)),
      pellucorKey_(FolderKey(pellucorFolder)) {}

std::wstring DatabaseConfinement::Resolve(const std::wstring& dbFileName) const {
  if (dbFileName.empty() || platform::IsAbsolutePath(dbFileName)) return dbFileName;
  return dataFolder_ + kPathSeparator + dbFileName;
}

DatabaseConfinement::Place DatabaseConfinement::PlaceOf(const std::wstring& key) const {
  if (IsBelow(key, dataKey_)) return Place::kDataFolder;
  if (IsBelow(key, pellucorKey_)) return Place::kPellucorFolder;
  return Place::kOutside;
}

const wchar_t* DatabaseConfinement::RefusalFor(const std::wstring& path, FileKind kind,
                                               bool forMove) const {
  if (kind == FileKind::kFolder) return L"a folder";
  if (kind == FileKind::kLink && forMove) return L"a link";
  if (kind != FileKind::kRegularFile && kind != FileKind::kLink) return L"not a regular file";
  const std::wstring real = platform::RealPathOf(path);
  if (real.empty()) return L"its real path cannot be found";
  const std::wstring key = platform::PathComparisonKey(real);
  const Place place = PlaceOf(key);
  if (forMove && place != Place::kPellucorFolder) return L"outside the older data folder";
  if (place == Place::kOutside) return L"outside the data folders";
  if (IsSettingsFileName(key)) return L"a settings file";
  return nullptr;
}

const wchar_t* DatabaseConfinement::RefusalToDelete(const std::wstring& path, FileKind kind) const {
  return RefusalFor(path, kind, false);
}

const wchar_t* DatabaseConfinement::RefusalToMove(const std::wstring& path, FileKind kind) const {
  return RefusalFor(path, kind, true);
}

const DatabaseConfinement::FolderFacts& DatabaseConfinement::FactsOfFolderOf(
    const std::wstring& path) const {
  const std::wstring folder = FolderOf(path);
  auto known = folders_.find(folder);
  if (known != folders_.end()) return known->second;
  FolderFacts facts{FolderKeyOf(platform::RealPathOf(folder)), std::nullopt};
  // Only the connector's own folders are listed: one elsewhere may be large,
  // and its files are refused anyway.
  if (IsAtOrBelow(facts.Key, dataKey_) || IsAtOrBelow(facts.Key, pellucorKey_))
    facts.Listing.emplace(folder);
  return folders_.emplace(folder, std::move(facts)).first->second;
}

platform::FileKind DatabaseConfinement::KindAt(const std::wstring& path) const {
  const FolderFacts& facts = FactsOfFolderOf(path);
  if (facts.Listing && facts.Listing->CertainlyLacks(NameOf(path))) return FileKind::kMissing;
  return platform::QueryFileKind(path);
}

bool DatabaseConfinement::IsInPellucorFolder(const std::wstring& missingPath) const {
  return IsAtOrBelow(FactsOfFolderOf(missingPath).Key, pellucorKey_);
}

std::wstring DatabaseConfinement::SameNameInDataFolder(const std::wstring& path) const {
  return dataFolder_ + FileNamePart(path);
}

DatabaseDecision DecideDatabase(const std::wstring& dbFileName,
                                const DatabaseConfinement& confinement) {
  DatabaseDecision decision;
  decision.Path = confinement.Resolve(dbFileName);
  if (decision.Path.empty()) return decision;
  platform::FileKind kind = confinement.KindAt(decision.Path);
  if (kind == platform::FileKind::kMissing) {
    // A takeover cut short after the move but before the save leaves the list
    // naming the older folder, and the database in the data folder.
    if (!confinement.IsInPellucorFolder(decision.Path)) return decision;
    decision.Path = confinement.SameNameInDataFolder(decision.Path);
    kind = confinement.KindAt(decision.Path);
    if (kind == platform::FileKind::kMissing) return decision;
  }
  decision.Refusal = confinement.RefusalToDelete(decision.Path, kind);
  decision.Fate = decision.Refusal != nullptr ? DatabaseFate::kRefuse : DatabaseFate::kDelete;
  return decision;
}

}  // namespace kalinor
