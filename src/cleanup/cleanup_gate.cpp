#include "cleanup/cleanup_gate.h"

#include <utility>

#include "platform/files.h"
#include "platform/text.h"
#include "settings/settings_names.h"

namespace kalinor {

namespace {

using platform::FileKind;
using platform::kPathSeparator;

// A real path with a closing separator, so that a prefix test cannot match a
// sibling ("Ostrand2"); "" for "".
std::wstring AsFolder(std::wstring real) {
  if (!real.empty() && real.back() != kPathSeparator) real += kPathSeparator;
  return real;
}

// The real path of a held folder with its closing separator; "" when none
// is held.
std::wstring RealFolder(const platform::HeldFolder& folder) {
  return folder.IsHeld() ? AsFolder(folder.RealPath()) : std::wstring();
}

// A held folder; none for "" (no such folder is known).
platform::HeldFolder Hold(const std::wstring& folder) {
  return folder.empty() ? platform::HeldFolder() : platform::HeldFolder::Open(folder);
}

// Whether the real path is the folder (given with its closing separator) or
// lies below it; false when the folder is unresolved.
bool IsAtOrBelow(const std::wstring& real, const std::wstring& folder) {
  return !folder.empty() && AsFolder(real).compare(0, folder.size(), folder) == 0;
}

bool IsBelow(const std::wstring& real, const std::wstring& folder) {
  return real.size() >= folder.size() && real != folder && IsAtOrBelow(real, folder);
}

// The folder part as the held folders name entries: cut at kPathSeparator
// alone.
std::wstring FolderOf(const std::wstring& path) {
  return platform::SplitPath(path, platform::PathSeparators::kNativeOnly).Folder;
}

// Refused in any letter case: on a folder that folds case, either names the file.
bool IsSettingsFileName(const std::wstring& path) {
  const std::string name = platform::ToUtf8(platform::LastPathPart(path));
  for (const wchar_t* settings : settings_names::kSettingsFiles)
    if (platform::EqualsIgnoringAsciiCase(name, platform::ToUtf8(settings))) return true;
  return false;
}

}  // namespace

const wchar_t* Describe(GateRefusal refusal) {
  switch (refusal) {
    case GateRefusal::kNone:
      return nullptr;
    case GateRefusal::kFolder:
      return L"a folder";
    case GateRefusal::kLink:
      return L"a link";
    case GateRefusal::kNotRegularFile:
      return L"not a regular file";
    case GateRefusal::kNoRealPath:
      return L"its real path cannot be found";
    case GateRefusal::kOutsideOlderFolder:
      return L"outside the older data folder";
    case GateRefusal::kOutsideDataFolders:
      return L"outside the data folders";
    case GateRefusal::kSettingsFile:
      return L"a settings file";
    case GateRefusal::kNotPlainNameInDataFolder:
      return L"not a plain file name in the data folder";
    case GateRefusal::kDataFolderNotFound:
      return L"the data folder cannot be found";
    case GateRefusal::kNameTaken:
      return L"its name is taken in the data folder";
    case GateRefusal::kOutsideSeedFolders:
      return L"outside the older and the installation's data folders";
    case GateRefusal::kNotLocal:
      return L"another machine, a device or a stream";
    case GateRefusal::kLinkNotMadeBySystem:
      return L"a link the system did not make, which an elevated run does not follow: run the "
             L"tool unelevated, as the user, or remove the link";
  }
  return L"refused";
}

CleanupGate::CleanupGate(std::wstring dataFolder, std::wstring pellucorFolder,
                         std::wstring installFolder)
    : dataFolder_(std::move(dataFolder)),
      pellucorFolder_(std::move(pellucorFolder)),
      installFolder_(std::move(installFolder)),
      data_(Hold(dataFolder_)),
      pellucor_(Hold(pellucorFolder_)),
      install_(Hold(installFolder_)),
      dataReal_(RealFolder(data_)),
      pellucorReal_(RealFolder(pellucor_)),
      installReal_(RealFolder(install_)) {}

std::wstring CleanupGate::Resolve(const std::wstring& dbFileName) const {
  // The long-path form of a local path (as a program writes one past 260
  // characters) is that path; every other \\?\ form stays as written.
  if (const auto local = platform::LocalFormOfLongPath(dbFileName)) return *local;
  if (dbFileName.empty() || platform::IsAbsolutePath(dbFileName)) return dbFileName;
  return dataFolder_ + kPathSeparator + dbFileName;
}

bool CleanupGate::LiesInSharedDataFolder(const std::wstring& path) const {
  const std::wstring folder = AsFolder(dataFolder_);
  if (!platform::NamesAnotherMachineOrDevice(dataFolder_) || folder.empty() ||
      path.compare(0, folder.size(), folder) != 0)
    return false;
  // Judged by the text alone: no step may climb out, and no name may be a
  // stream or a device.
  for (std::size_t from = folder.size();;) {
    const std::size_t end = path.find(kPathSeparator, from);
    if (!platform::IsPlainFileName(path.substr(from, end - from))) return false;
    if (end == std::wstring::npos) return true;
    from = end + 1;
  }
}

CleanupGate::Place CleanupGate::PlaceOf(const std::wstring& real) const {
  if (IsBelow(real, dataReal_)) return Place::kDataFolder;
  if (IsBelow(real, pellucorReal_)) return Place::kPellucorFolder;
  return Place::kOutside;
}

HeldEntry CleanupGate::EntryAt(const std::wstring& real, Place place) const {
  if (place == Place::kDataFolder) return {&data_, real.substr(dataReal_.size())};
  if (place == Place::kPellucorFolder) return {&pellucor_, real.substr(pellucorReal_.size())};
  return {};
}

GateVerdict CleanupGate::VerdictFor(const std::wstring& path, FileKind kind, bool forMove) const {
  if (kind == FileKind::kFolder) return {GateRefusal::kFolder, {}};
  if (kind == FileKind::kLink && forMove) return {GateRefusal::kLink, {}};
  if (kind != FileKind::kRegularFile && kind != FileKind::kLink)
    return {GateRefusal::kNotRegularFile, {}};
  const std::wstring real = platform::RealPathOf(path);
  if (real.empty()) return {GateRefusal::kNoRealPath, {}};
  const Place place = PlaceOf(real);
  if (forMove && place != Place::kPellucorFolder) return {GateRefusal::kOutsideOlderFolder, {}};
  if (place == Place::kOutside) return {GateRefusal::kOutsideDataFolders, {}};
  if (IsSettingsFileName(real)) return {GateRefusal::kSettingsFile, {}};
  return {GateRefusal::kNone, EntryAt(real, place)};
}

GateRefusal CleanupGate::RefusalForDestination(const std::wstring& destination,
                                               bool replacesFile) const {
  if (FolderOf(destination) != dataFolder_ ||
      !platform::IsPlainFileName(platform::LastPathPart(destination)))
    return GateRefusal::kNotPlainNameInDataFolder;
  if (dataReal_.empty() || AsFolder(platform::RealPathOf(dataFolder_)) != dataReal_)
    return GateRefusal::kDataFolderNotFound;
  const FileKind there = data_.KindOf(platform::LastPathPart(destination));
  if (there == FileKind::kMissing || (replacesFile && there == FileKind::kRegularFile))
    return GateRefusal::kNone;
  return replacesFile ? GateRefusal::kNotRegularFile : GateRefusal::kNameTaken;
}

GateVerdict CleanupGate::CheckDelete(const std::wstring& path, FileKind kind) const {
  return VerdictFor(path, kind, false);
}

GateVerdict CleanupGate::CheckMove(const std::wstring& source, FileKind kind,
                                   const std::wstring& destination) const {
  GateVerdict verdict = VerdictFor(source, kind, true);
  if (!verdict.Refused()) verdict.Refusal = RefusalForDestination(destination, false);
  return verdict;
}

GateVerdict CleanupGate::CheckCopy(const std::wstring& source,
                                   const std::wstring& destination) const {
  if (platform::QueryFileKind(source) != FileKind::kRegularFile)
    return {GateRefusal::kNotRegularFile, {}};
  const std::wstring folder = AsFolder(platform::RealPathOf(FolderOf(source)));
  HeldEntry entry;
  if (!pellucorReal_.empty() && folder == pellucorReal_)
    entry = {&pellucor_, platform::LastPathPart(source)};
  if (!installReal_.empty() && folder == installReal_)
    entry = {&install_, platform::LastPathPart(source)};
  if (entry.Folder == nullptr) return {GateRefusal::kOutsideSeedFolders, {}};
  return {RefusalForDestination(destination, false), entry};
}

GateRefusal CleanupGate::RefusalToSave(const std::wstring& path) const {
  return RefusalForDestination(path, true);
}

GateVerdict CleanupGate::CheckRemoveOlderList(const std::wstring& path) const {
  if (platform::QueryFileKind(path) != FileKind::kRegularFile)
    return {GateRefusal::kNotRegularFile, {}};
  const std::wstring real = platform::RealPathOf(path);
  if (pellucorReal_.empty() || AsFolder(FolderOf(real)) != pellucorReal_)
    return {GateRefusal::kOutsideOlderFolder, {}};
  return {GateRefusal::kNone, {&pellucor_, platform::LastPathPart(real)}};
}

std::vector<std::wstring> CleanupGate::RefusedLinks() const {
  std::vector<std::wstring> links;
  for (const platform::HeldFolder* folder : {&data_, &pellucor_, &install_})
    if (!folder->RefusedLink().empty()) links.push_back(folder->RefusedLink());
  return links;
}

platform::SystemError CleanupGate::ReadSettingsFile(const std::wstring& path,
                                                    std::string& bytes) const {
  bytes.clear();
  const std::wstring folder = FolderOf(path);
  const std::pair<const std::wstring*, const platform::HeldFolder*> places[] = {
      {&dataFolder_, &data_}, {&pellucorFolder_, &pellucor_}, {&installFolder_, &install_}};
  for (const auto& [text, held] : places)
    if (!text->empty() && folder == *text)
      return held->ReadWhole(platform::LastPathPart(path), bytes);
  return platform::LinkOnTheWay();  // no held folder holds it
}

const CleanupGate::FolderFacts& CleanupGate::FactsOfFolderOf(const std::wstring& path) const {
  const std::wstring folder = FolderOf(path);
  auto known = folders_.find(folder);
  if (known != folders_.end()) return known->second;
  FolderFacts facts;
  facts.Missing = !folder.empty() && platform::QueryFileKind(folder) == FileKind::kMissing;
  if (!facts.Missing) facts.Real = AsFolder(platform::RealPathOf(folder));
  // Only the connector's own folders are listed: one elsewhere may be large,
  // and its files are refused anyway.
  if (IsAtOrBelow(facts.Real, dataReal_) || IsAtOrBelow(facts.Real, pellucorReal_))
    facts.Listing.emplace(folder);
  return folders_.emplace(folder, std::move(facts)).first->second;
}

FileKind CleanupGate::KindAt(const std::wstring& path) const {
  const FolderFacts& facts = FactsOfFolderOf(path);
  const std::wstring name = platform::LastPathPart(path);
  // A name that is no plain file name (Windows reads "a/../b" in it as a
  // path of its own) is always queried.
  if (facts.Missing && platform::IsPlainFileName(name)) return FileKind::kMissing;
  if (facts.Listing && facts.Listing->CertainlyLacks(name)) return FileKind::kMissing;
  return platform::QueryFileKind(path);
}

bool CleanupGate::IsInPellucorFolder(const std::wstring& missingPath) const {
  return IsAtOrBelow(FactsOfFolderOf(missingPath).Real, pellucorReal_);
}

std::wstring CleanupGate::SameNameInDataFolder(const std::wstring& path) const {
  return dataFolder_ + kPathSeparator + platform::LastPathPart(path);
}

DatabaseDecision DecideDatabase(const std::wstring& dbFileName, const CleanupGate& gate) {
  DatabaseDecision decision;
  decision.Path = gate.Resolve(dbFileName);
  if (decision.Path.empty()) return decision;
  // Not even asked about: a query of another machine's path sends this
  // account's credentials there, and a device may answer anything. A data
  // folder on a share (a policy path, redirected application data) is where
  // the run works already: what lies below it by its text is judged as any
  // other database.
  if (platform::NamesAnotherMachineOrDevice(decision.Path) &&
      !gate.LiesInSharedDataFolder(decision.Path)) {
    decision.Refusal = GateRefusal::kNotLocal;
    decision.Fate = DatabaseFate::kRefuse;
    return decision;
  }
  FileKind kind = gate.KindAt(decision.Path);
  if (kind == FileKind::kMissing) {
    // A takeover cut short after the move but before the save leaves the list
    // naming the older folder, and the database in the data folder.
    if (!gate.IsInPellucorFolder(decision.Path)) return decision;
    decision.Path = gate.SameNameInDataFolder(decision.Path);
    kind = gate.KindAt(decision.Path);
    if (kind == FileKind::kMissing) return decision;
  }
  decision.Refusal = gate.RefusalToDelete(decision.Path, kind);
  // Gone since it was looked at (another run deleted it): nothing to do.
  if (decision.Refusal != GateRefusal::kNone && platform::IsGone(decision.Path)) {
    decision.Refusal = GateRefusal::kNone;
    return decision;
  }
  decision.Fate =
      decision.Refusal != GateRefusal::kNone ? DatabaseFate::kRefuse : DatabaseFate::kDelete;
  return decision;
}

}  // namespace kalinor
