#include <mutex>
#include <new>

#include "standin/mapi/admin_objects.h"
#include "standin/mapi/com_support.h"
#include "standin/mapi/mapi_standin.h"

namespace kalinor::mapi_standin {
namespace {

std::mutex g_start_mutex;
ULONG g_start_count = 0;

bool IsStarted() {
  const std::lock_guard<std::mutex> guard(g_start_mutex);
  return g_start_count > 0;
}

}  // namespace

HRESULT MAPIInitialize(LPVOID lpMapiInit) {
  const auto* init = static_cast<const MAPIINIT_0*>(lpMapiInit);
  if (init != nullptr && init->ulVersion != MAPI_INIT_VERSION) return kMapiErrorVersion;
  const std::lock_guard<std::mutex> guard(g_start_mutex);
  ++g_start_count;
  return S_OK;
}

void MAPIUninitialize() {
  const std::lock_guard<std::mutex> guard(g_start_mutex);
  if (g_start_count > 0) --g_start_count;
}

HRESULT MAPIAdminProfiles(ULONG, LPPROFADMIN* lppProfAdmin) {
  if (lppProfAdmin == nullptr) return MAPI_E_INVALID_PARAMETER;
  *lppProfAdmin = nullptr;
  if (!IsStarted()) return MAPI_E_NOT_INITIALIZED;
  return Guarded([&] {
    *lppProfAdmin = NewProfAdmin(LocateStandinFiles());
    return S_OK;
  });
}

}  // namespace kalinor::mapi_standin
