// Which store database files the uninstall may delete or move: only regular
// files (or links, removed as links) inside the connector's data folder or
// its older data folder, judged on real paths, and never a settings file.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/files.h"

namespace kalinor {

class DatabaseConfinement {
 public:
  /// The rule over the two folders; either may be "" or missing, and then
  /// nothing lies inside it. Resolves both folders' real paths once.
  DatabaseConfinement(std::wstring dataFolder, const std::wstring& pellucorFolder);

  /// The path a dbFileName value names: itself when absolute, else joined to
  /// the data folder (never to the current folder). "" for an empty value.
  std::wstring Resolve(const std::wstring& dbFileName) const;

  /// Why the entry at an existing path, of the kind QueryFileKind just gave,
  /// must not be deleted; nullptr when it may: a regular file or a link
  /// inside either folder, not a settings file.
  const wchar_t* RefusalToDelete(const std::wstring& path, platform::FileKind kind) const;

  /// Why the file at an existing path, of the kind QueryFileKind just gave,
  /// must not be moved into the data folder; nullptr when it may: a regular
  /// file inside the older folder, not a settings file.
  const wchar_t* RefusalToMove(const std::wstring& path, platform::FileKind kind) const;

  /// What lies at path, as QueryFileKind tells; a path in either folder
  /// that its folder's listing (taken once per folder, at the first path in
  /// it) certainly lacks is kMissing without a query of its own. Listings
  /// are never refreshed: use one confinement for one pass over a list, and
  /// make no file in those folders meanwhile.
  platform::FileKind KindAt(const std::wstring& path) const;

  /// True when the folder of a path at which nothing exists lies in the older
  /// data folder: a takeover interrupted after the move left the file in the
  /// data folder under the same name.
  bool IsInPellucorFolder(const std::wstring& missingPath) const;

  /// The data folder's file of the same name as path (whose last part is the
  /// name, a bare value the whole name).
  std::wstring SameNameInDataFolder(const std::wstring& path) const;

 private:
  enum class Place { kOutside, kDataFolder, kPellucorFolder };
  /// Which folder a real path lies in, given by its PathComparisonKey.
  Place PlaceOf(const std::wstring& key) const;
  /// Why what lies at path must not be deleted, or with forMove moved.
  const wchar_t* RefusalFor(const std::wstring& path, platform::FileKind kind, bool forMove) const;

  /// What is known of one folder that a list names.
  struct FolderFacts {
    std::wstring Key;  // comparison key of the real folder + separator; "" when unresolved
    std::optional<platform::FolderListing> Listing;  // only for folders in either data folder
  };
  /// The facts of the folder of path, gathered at its first path.
  const FolderFacts& FactsOfFolderOf(const std::wstring& path) const;

  std::wstring dataFolder_;
  std::wstring dataKey_;      // comparison key of the real data folder + separator; "" if none
  std::wstring pellucorKey_;  // the same for the older data folder
  // By the folder as a list names it: a long list names few folders.
  mutable std::map<std::wstring, FolderFacts> folders_;
};

/// What the uninstall does with one listed database file.
enum class DatabaseFate { kDelete, kRefuse, kAbsent };

struct DatabaseDecision {
  DatabaseFate Fate = DatabaseFate::kAbsent;
  /// The file decided on; "" for an empty dbFileName value.
  std::wstring Path;
  /// Why it stays, for kRefuse; else nullptr.
  const wchar_t* Refusal = nullptr;
};

/// Decides, without touching it, what the uninstall does with the database a
/// dbFileName value names: absent (nothing there, or an empty value), refused
/// (with why), or deleted. A value naming the older folder whose file is
/// gone stands for the data folder's file of that name, which an interrupted
/// takeover left there.
DatabaseDecision DecideDatabase(const std::wstring& dbFileName,
                                const DatabaseConfinement& confinement);

/// The file name with its leading separator; a value without one gets one,
/// so that appending it to a folder always gives a path inside that folder.
std::wstring FileNamePart(const std::wstring& path);

}  // namespace kalinor
