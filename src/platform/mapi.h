// MAPI, the Windows messaging subsystem: its names (from the SDK on Windows,
// from posix/mapi_declarations.h elsewhere) and the one seam through which
// the program reaches MAPI's four entry points.
#pragma once

#include <functional>

#include "platform/hresult.h"

#ifdef _WIN32
#include <mapix.h>
#include <mapicode.h>
#include <mapidefs.h>
#include <mapitags.h>
#include <mapiutil.h>
#else
#include "platform/posix/mapi_declarations.h"
#endif

namespace kalinor::platform {

/// MAPI's four entry points as the run sequence calls them. Tests supply
/// their own; the program uses SystemMapi().
struct MapiEntryPoints {
  std::function<HRESULT(MAPIINIT_0*)> MAPIInitialize;
  std::function<HRESULT(ULONG, LPPROFADMIN*)> MAPIAdminProfiles;
  std::function<void(LPSRowSet)> FreeProws;
  std::function<void()> MAPIUninitialize;
};

/// The machine's MAPI: on Windows mapi32.dll, loaded on first use with its
/// entry points taken by ordinal (21, 19, 140, 23); on POSIX, which has no
/// MAPI, the stand-in subsystem, linked in from src/standin/. When the DLL
/// or an entry point is missing, MAPIInitialize returns the failure and the
/// other three are never reached.
const MapiEntryPoints& SystemMapi();

}  // namespace kalinor::platform
