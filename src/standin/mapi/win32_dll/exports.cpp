// kalinor_mapi_standin.dll: the stand-in MAPI subsystem as the Extended MAPI
// provider of a mail client. mapi32.dll (Wine's, or the Windows MAPI stub)
// loads the DLL named by the client's DLLPathEx value and forwards these
// entry points to it by name; FreeProws stays in mapi32.dll and frees
// through MAPIFreeBuffer, so the row sets come back here to be freed.
//
// Like real MAPI, MAPIInitialize starts COM on the calling thread unless
// MAPI_NO_COINIT is given, and the matching MAPIUninitialize ends it: the
// tool's XML work relies on that start.
#include <windows.h>
#include <objbase.h>

#include <cstdint>

#include "platform/mapi.h"
#include "standin/mapi/mapi_standin.h"

namespace {

namespace standin = kalinor::mapi_standin;

// From the Windows SDK's mapix.h; MinGW-w64's lacks it.
constexpr ULONG kMapiNoCoInit = 0x00000008;

// The MAPI starts of this thread, newest in bit 0: a set bit is a start that
// initialized COM and so owes a CoUninitialize. Starts nested deeper than 64
// are counted but owe nothing (nobody nests MAPI that deep).
thread_local std::uint64_t t_com_owed = 0;
thread_local unsigned t_start_depth = 0;

void PushStart(bool owes_com) {
  if (t_start_depth < 64) t_com_owed = (t_com_owed << 1) | (owes_com ? 1 : 0);
  ++t_start_depth;
}

// True when the start being undone had initialized COM.
bool PopStart() {
  if (t_start_depth == 0) return false;
  --t_start_depth;
  if (t_start_depth >= 64) return false;
  const bool owed = (t_com_owed & 1) != 0;
  t_com_owed >>= 1;
  return owed;
}

bool WantsCom(const void* lpMapiInit) {
  const auto* init = static_cast<const MAPIINIT_0*>(lpMapiInit);
  return init == nullptr || (init->ulFlags & kMapiNoCoInit) == 0;
}

}  // namespace

extern "C" {

HRESULT WINAPI MAPIInitialize(LPVOID lpMapiInit) {
  bool owes_com = false;
  if (WantsCom(lpMapiInit)) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // A thread already in the multithreaded apartment keeps it; MAPI runs there too.
    if (FAILED(com) && com != RPC_E_CHANGED_MODE) return com;
    owes_com = SUCCEEDED(com);
  }
  const HRESULT hr = standin::MAPIInitialize(lpMapiInit);
  if (hr != S_OK) {
    if (owes_com) CoUninitialize();
    return hr;
  }
  PushStart(owes_com);
  return S_OK;
}

void WINAPI MAPIUninitialize() {
  if (t_start_depth == 0) return;  // nothing started on this thread
  standin::MAPIUninitialize();
  if (PopStart()) CoUninitialize();
}

HRESULT WINAPI MAPIAdminProfiles(ULONG ulFlags, LPPROFADMIN* lppProfAdmin) {
  return standin::MAPIAdminProfiles(ulFlags, lppProfAdmin);
}

SCODE WINAPI MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) {
  return standin::MAPIAllocateBuffer(cbSize, lppBuffer);
}

SCODE WINAPI MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer) {
  return standin::MAPIAllocateMore(cbSize, lpObject, lppBuffer);
}

ULONG WINAPI MAPIFreeBuffer(LPVOID lpBuffer) { return standin::MAPIFreeBuffer(lpBuffer); }

}  // extern "C"
