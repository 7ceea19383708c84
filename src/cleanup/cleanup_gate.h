// The one gate that every file operation of the uninstall passes, on every
// path it touches, source and destination: it deletes only regular files (or
// links, removed as links) inside the connector's data folder or its older
// data folder, moves only regular files out of the older folder to a plain
// file name in the data folder, and never touches a settings file but its
// own copies, saves and the older list's removal. Places are judged on real
// paths, compared exactly (never with letter case folded: case-sensitive
// folders exist on Windows too).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/held_folder.h"

namespace kalinor {

/// Where an entry the gate let through lies: a held folder and the entry's
/// path relative to it. Every act goes through it, so that a folder swapped
/// for a link after the check is refused, not followed.
struct HeldEntry {
  const platform::HeldFolder* Folder = nullptr;  ///< null when refused
  std::wstring Relative;
};

/// Why the gate refuses an act on a path; kNone when it lets the act through.
enum class GateRefusal {
  kNone,
  kFolder,                    ///< a folder
  kLink,                      ///< a link, where only a regular file moves
  kNotRegularFile,            ///< a device, pipe or socket, or nothing readable
  kNoRealPath,                ///< its real path cannot be found
  kOutsideOlderFolder,        ///< a move's source outside the older data folder
  kOutsideDataFolders,        ///< outside both data folders
  kSettingsFile,              ///< one of the connector's settings files
  kNotPlainNameInDataFolder,  ///< a destination that is no plain file name in the data folder
  kDataFolderNotFound,        ///< the data folder is not the one the gate holds
  kNameTaken,                 ///< something lies at the destination already
  kOutsideSeedFolders,        ///< a copy's source outside the older and installation folders
  kNotLocal,                  ///< another machine, a device or a stream, by its text
  kLinkNotMadeBySystem,       ///< a privileged run's way to a folder passes a user's link
};

/// A refusal as the log and the plan word it ("outside the data folders");
/// null for kNone.
const wchar_t* Describe(GateRefusal refusal);

/// The gate's answer: why not (kNone when it may), and where the entry lies.
struct GateVerdict {
  GateRefusal Refusal = GateRefusal::kNone;
  HeldEntry Entry;
  bool Refused() const { return Refusal != GateRefusal::kNone; }
};

class CleanupGate {
 public:
  /// The gate over the two folders, and the installation's data folder from
  /// which a seed may be read; any may be "" or missing, and then nothing
  /// lies inside it. Opens and holds each folder once, without following a
  /// link there, and takes its real path from what it opened.
  CleanupGate(std::wstring dataFolder, std::wstring pellucorFolder,
              std::wstring installFolder = {});

  /// The path a dbFileName value names: the drive path its long-path form
  /// stands for (LocalFormOfLongPath), itself when absolute, else joined to
  /// the data folder (never to the current folder). "" for an empty value.
  std::wstring Resolve(const std::wstring& dbFileName) const;

  /// True when the data folder is on another machine (its text names a
  /// share) and path lies below it by its text: plain names only, no step
  /// that climbs out. Such a path is judged as a local one would be.
  bool LiesInSharedDataFolder(const std::wstring& path) const;

  /// Why the entry at path, of the given kind, must not be deleted; kNone
  /// when it may: a regular file or a link inside either folder, not a
  /// settings file.
  GateRefusal RefusalToDelete(const std::wstring& path, platform::FileKind kind) const {
    return CheckDelete(path, kind).Refusal;
  }
  /// RefusalToDelete, with where the entry lies when it may be deleted.
  GateVerdict CheckDelete(const std::wstring& path, platform::FileKind kind) const;

  /// Why the file at source, of the given kind, must not be moved to
  /// destination; kNone when it may: a regular file inside the older
  /// folder, not a settings file, going to a plain file name in the data
  /// folder at which nothing lies yet.
  GateRefusal RefusalToMove(const std::wstring& source, platform::FileKind kind,
                            const std::wstring& destination) const {
    return CheckMove(source, kind, destination).Refusal;
  }
  /// RefusalToMove, with where the source lies when it may be moved.
  GateVerdict CheckMove(const std::wstring& source, platform::FileKind kind,
                        const std::wstring& destination) const;

  /// Why the settings file at source must not be copied to destination (a
  /// seed or the takeover); kNone when it may: a regular file directly in
  /// the older or the installation's data folder, going to a plain file name
  /// in the data folder at which nothing lies yet. Entry: the source.
  GateVerdict CheckCopy(const std::wstring& source, const std::wstring& destination) const;

  /// Why a settings file must not be saved at path; kNone when it may: a
  /// plain file name in the data folder, where nothing or a regular file lies.
  GateRefusal RefusalToSave(const std::wstring& path) const;

  /// Why the older folder's store list at path must not be removed; kNone
  /// when it may: a regular file directly in the older folder.
  GateVerdict CheckRemoveOlderList(const std::wstring& path) const;

  /// The links that a privileged run would not follow on the way to the
  /// data folder, the older folder or the installation's data folder; the
  /// folders behind them are not used.
  std::vector<std::wstring> RefusedLinks() const;

  /// The data folder as held: every save and copy writes through it.
  const platform::HeldFolder& HeldDataFolder() const { return data_; }

  /// Reads the settings file at path, which must lie directly in one of the
  /// three folders, through its held folder without following a link. The
  /// cause on failure (bytes then empty).
  platform::SystemError ReadSettingsFile(const std::wstring& path, std::string& bytes) const;

  /// What lies at path, as QueryFileKind tells; for planning only. A path in
  /// a folder that does not exist is kMissing, and so is one that its
  /// folder's listing (taken once per folder, for folders in either data
  /// folder) certainly lacks, both without a query of their own. Listings
  /// are never refreshed: the plan's picture of the folders.
  platform::FileKind KindAt(const std::wstring& path) const;

  /// True when the folder of a path at which nothing exists lies in the older
  /// data folder: a takeover interrupted after the move left the file in the
  /// data folder under the same name.
  bool IsInPellucorFolder(const std::wstring& missingPath) const;

  /// The data folder's file with the name that ends path (after its last
  /// separator; a bare value is the whole name). Pass it through
  /// RefusalToMove: the name may be no plain file name.
  std::wstring SameNameInDataFolder(const std::wstring& path) const;

 private:
  enum class Place { kOutside, kDataFolder, kPellucorFolder };
  /// Which folder a real path lies in, at any depth.
  Place PlaceOf(const std::wstring& real) const;
  /// Where a real path in the given place lies, as a held entry.
  HeldEntry EntryAt(const std::wstring& real, Place place) const;
  /// Why what lies at path must not be deleted, or with forMove moved.
  GateVerdict VerdictFor(const std::wstring& path, platform::FileKind kind, bool forMove) const;
  /// Why destination is no place to put a file in the data folder; with
  /// replacesFile a regular file there may be replaced (a save).
  GateRefusal RefusalForDestination(const std::wstring& destination, bool replacesFile) const;

  /// What is known of one folder that a list names.
  struct FolderFacts {
    std::wstring Real;     // real path of the folder + separator; "" when unresolved
    bool Missing = false;  // nothing lies there at all
    std::optional<platform::FolderListing> Listing;  // only for folders in either data folder
  };
  /// The facts of the folder of path, gathered at its first path.
  const FolderFacts& FactsOfFolderOf(const std::wstring& path) const;

  std::wstring dataFolder_;
  std::wstring pellucorFolder_;
  std::wstring installFolder_;
  platform::HeldFolder data_;
  platform::HeldFolder pellucor_;
  platform::HeldFolder install_;
  std::wstring dataReal_;      // real path of the data folder + separator; "" if none
  std::wstring pellucorReal_;  // the same for the older data folder
  std::wstring installReal_;   // the same for the installation's data folder
  // By the folder as a list names it: a long list names few folders.
  mutable std::map<std::wstring, FolderFacts> folders_;
};

/// What the uninstall does with one listed database file.
enum class DatabaseFate { kDelete, kRefuse, kAbsent };

struct DatabaseDecision {
  DatabaseFate Fate = DatabaseFate::kAbsent;
  /// The file decided on; "" for an empty dbFileName value.
  std::wstring Path;
  /// Why it stays, for kRefuse; else kNone.
  GateRefusal Refusal = GateRefusal::kNone;
};

/// Decides, without touching it, what the uninstall does with the database a
/// dbFileName value names: absent (nothing there, or an empty value), refused
/// (with why: also, by its text alone, a path to another machine or a
/// device, or one naming a stream), or deleted. A value naming the older folder whose file is
/// gone stands for the data folder's file of that name, which an interrupted
/// takeover left there.
DatabaseDecision DecideDatabase(const std::wstring& dbFileName, const CleanupGate& gate);

}  // namespace kalinor
