// The stand-in MAPI subsystem: profiles and their message services kept in
// one XML file (the profile store), with the optional service catalogue in
// mapisvc.inf format. These are its exported entry points, with the
// signatures real MAPI gives them; on POSIX they are the program's MAPI, and
// on Windows they can be built into a DLL that mapi32.dll forwards to.
//
// Where the files are: the store is $KALINOR_MAPI_PROFILES, else
// $XDG_CONFIG_HOME/kalinor/profiles.xml ($HOME/.config when XDG_CONFIG_HOME
// is unset or empty, %APPDATA% on Windows, where HOME is usually unset too);
// the catalogue is $KALINOR_MAPISVC, else
// $XDG_CONFIG_HOME/kalinor/mapisvc.inf. MAPIAdminProfiles looks them up when
// it is called; the objects it hands out keep those paths.
//
// Call these qualified (mapi_standin::FreeProws): on Windows the SDK declares
// the same names globally, and argument-dependent lookup would find both.
#pragma once

#include "platform/mapi.h"

namespace kalinor::mapi_standin {

/// Counts one more start. lpMapiInit is null or a MAPIINIT_0 whose version
/// must be MAPI_INIT_VERSION (else MAPI_E_VERSION, 0x80040110, and nothing
/// is counted). S_OK otherwise.
HRESULT MAPIInitialize(LPVOID lpMapiInit);

/// Counts one start less; does nothing when there is none to undo.
void MAPIUninitialize();

/// Hands out a new IProfAdmin (reference count 1) over the profile store.
/// MAPI_E_NOT_INITIALIZED before MAPIInitialize, MAPI_E_INVALID_PARAMETER
/// for a null out-pointer, MAPI_E_NOT_ENOUGH_MEMORY when out of memory.
HRESULT MAPIAdminProfiles(ULONG ulFlags, LPPROFADMIN* lppProfAdmin);

/// Frees a row set from QueryRows: every row's lpProps (with the blocks
/// linked to it), then the set itself. A null set is ignored.
void FreeProws(LPSRowSet lpRows);

/// Allocates a zero-filled block that MAPIFreeBuffer frees together with the
/// blocks MAPIAllocateMore links to it. MAPI_E_INVALID_PARAMETER for a null
/// out-pointer, MAPI_E_NOT_ENOUGH_MEMORY when out of memory.
SCODE MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer);

/// Allocates a zero-filled block freed with lpObject, which must come from
/// MAPIAllocateBuffer (MAPI_E_INVALID_PARAMETER otherwise, or for a null
/// out-pointer). MAPI_E_NOT_ENOUGH_MEMORY when out of memory.
SCODE MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);

/// Frees a block from MAPIAllocateBuffer and every block linked to it. Null,
/// and a block from MAPIAllocateMore (freed only with its parent), are
/// ignored. Always returns 0.
ULONG MAPIFreeBuffer(LPVOID lpBuffer);

}  // namespace kalinor::mapi_standin
