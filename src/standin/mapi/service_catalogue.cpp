#include "standin/mapi/service_catalogue.h"

#include "platform/mapi.h"

namespace kalinor::mapi_standin {

HRESULT ReadServiceCatalogue(const std::wstring& path, ServiceCatalogue& catalogue) {
  catalogue = ServiceCatalogue();
  switch (platform::ReadMapiServiceCatalogue(path, catalogue.services)) {
    case platform::CatalogueFile::kMissing:
      return S_OK;
    case platform::CatalogueFile::kUnreadable:
      return MAPI_E_CALL_FAILED;
    case platform::CatalogueFile::kRead:
      break;
  }
  catalogue.present = true;
  return S_OK;
}

}  // namespace kalinor::mapi_standin
