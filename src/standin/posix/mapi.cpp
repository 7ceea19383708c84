// On POSIX the machine's MAPI is the stand-in subsystem, linked in.
#include "platform/mapi.h"
#include "standin/mapi/mapi_standin.h"

namespace kalinor::platform {

const MapiEntryPoints& SystemMapi() {
  static const MapiEntryPoints entry_points{
      [](MAPIINIT_0* init) { return mapi_standin::MAPIInitialize(init); },
      [](ULONG flags, LPPROFADMIN* admin) { return mapi_standin::MAPIAdminProfiles(flags, admin); },
      [](LPSRowSet rows) { mapi_standin::FreeProws(rows); },
      [] { mapi_standin::MAPIUninitialize(); },
  };
  return entry_points;
}

}  // namespace kalinor::platform
