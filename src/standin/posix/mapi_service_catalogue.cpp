// The stand-in MAPI reads its own catalogue, wherever the DLL would be.
#include "platform/mapi_service_catalogue.h"

#include "standin/mapi/store_file.h"

namespace kalinor::platform {

std::wstring MapiServiceCataloguePath(const std::wstring& /*mapi_dll*/) {
  return mapi_standin::LocateStandinFiles().service_catalogue;
}

}  // namespace kalinor::platform
