// Where the connector keeps its per-user data: worked out once per process
// from the data-path policy value (with its folder macros), the product's
// install path and the user's special folders.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/registry.h"

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

class DataFolders {
 public:
  /// The one object, built on the first call. When building raises, the
  /// exception passes to the caller and the next call builds again.
  static const DataFolders& Instance();

  /// The connector's data folder (created when building): data root + "\Tavrin\Ostrand". The
  /// data root is an absolute policy folder that exists, else the local application-data folder;
  /// "" when neither is known (building then writes one error line).
  std::wstring DataFolder() const;
  /// The older data folder, a seed source: data root + "\Tavrin\Pellucor" (not created); ""
  /// when the data root is not known.
  std::wstring PellucorDataFolder() const;
  /// The product's seed folder: install path + "\Data"; "" when the install path is empty or
  /// relative.
  std::wstring InstallDataFolder() const;

  /// How the data root was found.
  const DataRootOrigin& HowDataRootWasFound() const { return folders_.Origin; }

  /// From now on the folders are resolved without creating any, special folders included, so
  /// that DataFolder() may name a folder that does not exist. For a caller that must change
  /// nothing; takes effect only when called before the first Instance().
  static void CreateNoFolders();

  /// The per-user policy value `name` under HKCU "Software\Policies\Tavrin\Pellucor"; "" when
  /// missing or not an acceptable string.
  static std::wstring ReadPolicyValue(const std::wstring& name);
  /// The product value `name` under HKLM "SOFTWARE\Tavrin\KOVEX"; "" when missing or unacceptable.
  static std::wstring ReadProductValue(const std::wstring& name);
  /// The text of a REG_SZ or REG_EXPAND_SZ value taken literally, up to its first NUL; "" for
  /// any other type, an odd size or data whose last UTF-16 unit is not NUL.
  static std::wstring AcceptedRegistryString(const platform::RegistryValue& value);
  /// A special folder by CSIDL, created when missing (unless CreateNoFolders was called); ""
  /// when it cannot be found.
  static std::wstring GetSpecialFolder(int csidl);
  /// Removes trailing, then leading white space ("C" locale wide white space).
  static void TrimWhiteSpace(std::wstring& text);
  /// Lower-cases the path (A-Z only) and expands the first folder macro found, every occurrence
  /// of it; a failed folder lookup replaces it with "".
  static void ExpandFolderMacros(std::wstring& path);
  /// Creates the missing folders along path (platform::FolderPathPrefixes); true when all of them
  /// exist afterwards. Raises CAtlException(E_INVALIDARG) for an empty path.
  static bool CreateFolderPath(const std::wstring& path);

  /// For tests only: forgets the built object and the no-creation mode, so that the next
  /// Instance() builds again as the tool does.
  static void ResetForTesting();
  /// For tests only: replaces the special-folder lookup (an empty function restores the real
  /// one), so that tests can make lookups fail or raise.
  static void SetSpecialFolderLookupForTesting(std::function<std::wstring(int csidl)> lookup);

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

  static Folders Build();

  Folders folders_;
};

}  // namespace kalinor
