// The machine's MAPI: mapi32.dll, loaded on first use, its four entry points
// taken by ordinal (the exported names are decorated differently on 32-bit
// and 64-bit Windows; the ordinals are the same).
//
// A failed load is a failed MAPI start: MAPIInitialize returns
// HRESULT_FROM_WIN32 of the loader's error, 0x8007007E when the DLL is
// missing and 0x8007007F when an entry point is, and the run sequence then
// never reaches the other three.
#include <windows.h>

#include <string>

#include "platform/mapi.h"

namespace kalinor::platform {

namespace {

constexpr WORD kOrdinalMAPIAdminProfiles = 19;
constexpr WORD kOrdinalMAPIInitialize = 21;
constexpr WORD kOrdinalMAPIUninitialize = 23;
constexpr WORD kOrdinalFreeProws = 140;

using FreeProwsFunction = void(STDAPICALLTYPE*)(LPSRowSet);

struct Mapi32 {
  HRESULT status = E_FAIL;
  LPMAPIINITIALIZE initialize = nullptr;
  LPMAPIADMINPROFILES admin_profiles = nullptr;
  FreeProwsFunction free_prows = nullptr;
  LPMAPIUNINITIALIZE uninitialize = nullptr;
};

HRESULT LastErrorResult() {
  const DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// Takes an export by ordinal into a typed pointer; false when it is missing.
template <typename Function>
bool Resolve(HMODULE dll, WORD ordinal, Function& function) {
  const FARPROC address = GetProcAddress(dll, MAKEINTRESOURCEA(ordinal));
  // Through void(*)(): the one function-pointer type a cast may pass
  // through without a warning about mismatched signatures.
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
  return address != nullptr;
}

// The MAPI stub in the system folder, by its full path: the tool often runs
// from a setup program's download or extraction folder, and a bare name
// would load a mapi32.dll placed there first.
HMODULE LoadSystemMapi32() {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0) return nullptr;
  if (length >= MAX_PATH) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return nullptr;
  }
  const std::wstring path = std::wstring(folder, length) + L"\\mapi32.dll";
  return LoadLibraryW(path.c_str());
}

Mapi32 LoadMapi32() {
  Mapi32 mapi;
  const HMODULE dll = LoadSystemMapi32();
  if (dll == nullptr) {
    mapi.status = LastErrorResult();
    return mapi;
  }
  if (!Resolve(dll, kOrdinalMAPIInitialize, mapi.initialize) ||
      !Resolve(dll, kOrdinalMAPIAdminProfiles, mapi.admin_profiles) ||
      !Resolve(dll, kOrdinalFreeProws, mapi.free_prows) ||
      !Resolve(dll, kOrdinalMAPIUninitialize, mapi.uninitialize)) {
    const HRESULT status = LastErrorResult();
    FreeLibrary(dll);
    return Mapi32{status};
  }
  // Loaded for good: MAPI may keep threads of its own running until exit.
  mapi.status = S_OK;
  return mapi;
}

const Mapi32& LoadedMapi32() {
  static const Mapi32 mapi = LoadMapi32();
  return mapi;
}

MapiEntryPoints MakeSystemMapi() {
  MapiEntryPoints mapi;
  mapi.MAPIInitialize = [](MAPIINIT_0* init) -> HRESULT {
    const Mapi32& dll = LoadedMapi32();
    if (FAILED(dll.status)) return dll.status;
    return dll.initialize(init);
  };
  // The other three are reached only after a successful start; should a
  // caller reach them anyway, they must not jump through a null pointer.
  mapi.MAPIAdminProfiles = [](ULONG flags, LPPROFADMIN* admin) -> HRESULT {
    const Mapi32& dll = LoadedMapi32();
    if (FAILED(dll.status)) return MAPI_E_NOT_INITIALIZED;
    return dll.admin_profiles(flags, admin);
  };
  mapi.FreeProws = [](LPSRowSet rows) {
    const Mapi32& dll = LoadedMapi32();
    if (SUCCEEDED(dll.status)) dll.free_prows(rows);
  };
  mapi.MAPIUninitialize = [] {
    const Mapi32& dll = LoadedMapi32();
    if (SUCCEEDED(dll.status)) dll.uninitialize();
  };
  return mapi;
}

}  // namespace

const MapiEntryPoints& SystemMapi() {
  static const MapiEntryPoints mapi = MakeSystemMapi();
  return mapi;
}

}  // namespace kalinor::platform
