// The optional service catalogue, in mapisvc.inf format: its [Services]
// section lists the service names that may be created, each with its
// display name ("ArchiveConnector=Archive Connector"). The file is read as
// MAPI reads it (platform::ParseMapiServices).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/hresult.h"
#include "platform/mapi_service_catalogue.h"

namespace kalinor::mapi_standin {

/// The [Services] entries of a catalogue, in file order.
struct ServiceCatalogue {
  bool present = false;  // false: no catalogue, so any name may be created
  std::vector<platform::MapiServiceEntry> services;
};

/// Reads the catalogue file at path. S_OK with present == false when there
/// is no file; MAPI_E_CALL_FAILED when it exists but cannot be read (also
/// when it is no regular file or is over 4 MiB).
HRESULT ReadServiceCatalogue(const std::wstring& path, ServiceCatalogue& catalogue);

}  // namespace kalinor::mapi_standin
