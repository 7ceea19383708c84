// MAPI's service catalogue (mapisvc.inf): where MAPI looks for it, and the
// one reader of its [Services] section, whose entries name the message
// services a profile may be given.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalinor::platform {

/// The mapisvc.inf that MAPI reads beside the given MAPI DLL. Windows: the
/// one in the DLL's folder when that file exists, else the system folder's
/// ("" when the system folder cannot be found). POSIX (the stand-in MAPI's
/// catalogue): $KALINOR_MAPISVC, else "kalinor/mapisvc.inf" in the XDG
/// configuration folder; "" when neither is known. The file itself need not
/// exist; nothing is read but the environment and the file system's entries.
std::wstring MapiServiceCataloguePath(const std::wstring& mapi_dll);

/// One line of the [Services] section: "ArchiveConnector=Archive Connector".
struct MapiServiceEntry {
  std::wstring name;          ///< the service name, never empty
  std::wstring display_name;  ///< the value, without the double quotes around it
};

/// The [Services] entries of mapisvc.inf bytes, in file order, read as
/// Windows reads a profile file: UTF-16LE after its byte-order mark, UTF-8
/// after its mark, else text in the ANSI code page. A line whose first
/// character after blanks is ';' is a comment; a section header matches
/// "[Services]" ignoring the case of ASCII letters; blanks (space, tab,
/// carriage return) around a line, a name and a value are dropped. Lines it
/// cannot use are skipped: it never fails.
std::vector<MapiServiceEntry> ParseMapiServices(std::string_view bytes);

/// The display name that services give the service `name`, matched ignoring
/// the case of ASCII letters (the first entry wins); nullopt when not listed.
std::optional<std::wstring> ListedServiceDisplayName(const std::vector<MapiServiceEntry>& services,
                                                     const std::wstring& name);

/// What reading a catalogue file found.
enum class CatalogueFile {
  kMissing,     ///< no path, or nothing at it
  kUnreadable,  ///< there, but no regular file, over 4 MiB or refused
  kRead,
};

/// Reads the catalogue at path into services (emptied first) with
/// ParseMapiServices; services stay empty unless it returns kRead.
CatalogueFile ReadMapiServiceCatalogue(const std::wstring& path,
                                       std::vector<MapiServiceEntry>& services);

}  // namespace kalinor::platform
