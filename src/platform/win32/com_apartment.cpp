// COM apartments through CoInitializeEx / CoUninitialize.
#include <objbase.h>

#include "platform/com_apartment.h"

namespace kalinor::platform {

// S_FALSE (already initialised here) also takes a matching CoUninitialize.
ComApartment::ComApartment()
    : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment() {
  if (entered_) CoUninitialize();
}

}  // namespace kalinor::platform
