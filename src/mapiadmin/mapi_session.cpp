#include "mapiadmin/mapi_session.h"

#include "report/debug_trace.h"

namespace kalinor {

MapiSession::MapiSession(const platform::MapiEntryPoints& mapi) : mapi_(mapi) {
  MAPIINIT_0 init{MAPI_INIT_VERSION, 0};
  const HRESULT result = mapi_.MAPIInitialize(&init);
  started_ = result == S_OK;
  if (!started_) DebugTraceError(L"Error initializing MAPI: %#X", HResultBits(result));
}

void MapiSession::End() {
  // The service administration goes before MAPI does.
  holder_.Release();
  if (!started_) return;
  started_ = false;
  mapi_.MAPIUninitialize();
}

}  // namespace kalinor
