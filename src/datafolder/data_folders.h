// Where the connector keeps its per-user data: worked out once per run from
// the data-path policy value (with its folder macros), the product's install
// path and the user's special folders, and handed as a value to whatever
// needs it.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kalinor {

/// How the data root was found, for a report of it.
struct DataRootOrigin {
  /// The "DataPath" policy value as read (before trimming); "" when absent or unacceptable.
  std::wstring PolicyValue;
  /// The policy value trimmed and with its folder macro expanded; "" when it was blank.
  std::wstring ExpandedPolicyValue;
  /// True when the expanded policy value is the data root; false when it fell back to the
  /// local application-data folder.
  bool PolicyUsed = false;
};

/// Whether resolving the folders may create any.
enum class FolderCreation {
  kCreate,  ///< the data folder, the debug-log folder and missing special folders are created
  kNone,    ///< nothing is created, so the data folder may name a folder that does not exist
};

/// Looks a special folder up by CSIDL; "" when it cannot be found.
using SpecialFolderLookup = std::function<std::wstring(int csidl)>;

class DataFolders {
 public:
  /// Works the folders out now, looking special folders up with lookup (empty: the shell's,
  /// creating a missing one as creation allows). Raises what the string operations or the
  /// lookup raise; the folders are then left as far as they were made.
  static DataFolders Resolve(FolderCreation creation, const SpecialFolderLookup& lookup = {});

  /// The data folder as Resolve would find it, worked out without creating
  /// anything and without a line on the debugger channel; "" when the data
  /// root is not known.
  static std::wstring DataFolderAsItStands();

  /// The connector's data folder (created by kCreate): data root + "\Tavrin\Ostrand". The
  /// data root is an absolute policy folder that exists, else the local application-data folder;
  /// "" when neither is known (resolving then writes one error line).
  std::wstring DataFolder() const;
  /// The older data folder, a seed source: data root + "\Tavrin\Pellucor" (not created); ""
  /// when the data root is not known.
  std::wstring PellucorDataFolder() const;
  /// The product's seed folder: install path + "\Data"; "" when the install path is empty or
  /// relative.
  std::wstring InstallDataFolder() const;

  /// The connector's debug-log folder, which an uninstall creates when
  /// missing: local application data + "\Tavrin\Ostrand\DebugLogs".
  std::wstring DebugLogsFolder() const;

  /// How the data root was found.
  const DataRootOrigin& HowDataRootWasFound() const { return folders_.Origin; }

  /// The per-user policy value `name` under HKCU "Software\Policies\Tavrin\Pellucor"; "" when
  /// missing or not an acceptable string (platform::ReadRegistryString).
  static std::wstring ReadPolicyValue(const std::wstring& name);
  /// The product value `name` under HKLM "SOFTWARE\Tavrin\KOVEX"; "" when missing or unacceptable.
  static std::wstring ReadProductValue(const std::wstring& name);
  /// The shell's special-folder lookup, creating a missing folder when creation allows.
  static SpecialFolderLookup ShellSpecialFolders(FolderCreation creation);
  /// Removes trailing, then leading white space ("C" locale wide white space).
  static void TrimWhiteSpace(std::wstring& text);
  /// Lower-cases the path (A-Z only) and expands the first folder macro found, every occurrence
  /// of it, with the folder lookup gives; a failed lookup replaces it with "".
  static void ExpandFolderMacros(std::wstring& path, const SpecialFolderLookup& lookup);
  /// Creates the missing folders along path (platform::FolderPathPrefixes); true when all of them
  /// exist afterwards. Raises CAtlException(E_INVALIDARG) for an empty path.
  static bool CreateFolderPath(const std::wstring& path);

 private:
  // The five folders, in the order in which they are laid out.
  struct Folders {
    std::wstring InstallPath;
    std::wstring DataFolder;
    std::wstring InstallDataFolder;
    std::wstring DebugLogsFolder;
    std::wstring PellucorDataFolder;
    DataRootOrigin Origin;
  };

  /// Whether working the folders out writes its lines to the debugger channel.
  enum class Reporting { kReport, kQuiet };
  static Folders Build(FolderCreation creation, const SpecialFolderLookup& lookup,
                       Reporting reporting = Reporting::kReport);

  Folders folders_;
};

}  // namespace kalinor
