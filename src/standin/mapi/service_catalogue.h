// The optional service catalogue, in mapisvc.inf format: its [Services]
// section lists the service names that may be created, each with its
// display name ("ArchiveConnector=Archive Connector"). The file is UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/hresult.h"

namespace kalinor::mapi_standin {

/// The [Services] entries of a catalogue, in file order.
struct ServiceCatalogue {
  bool present = false;  // false: no catalogue, so any name may be created
  std::vector<std::pair<std::wstring, std::wstring>> services;  // name, display name
};

/// Reads the [Services] section of mapisvc.inf text. Never fails: lines it
/// cannot use are skipped.
ServiceCatalogue ParseServiceCatalogue(std::string_view text);

/// Reads the catalogue file at path. S_OK with present == false when there
/// is no file; MAPI_E_CALL_FAILED when it exists but cannot be read (also
/// when it is no regular file or is over 4 MiB).
HRESULT ReadServiceCatalogue(const std::wstring& path, ServiceCatalogue& catalogue);

/// The display name the catalogue gives the service, whose name is matched
/// ignoring the case of ASCII letters. nullopt when it is not listed.
std::optional<std::wstring> CatalogueDisplayName(const ServiceCatalogue& catalogue,
                                                 const std::wstring& name);

}  // namespace kalinor::mapi_standin
