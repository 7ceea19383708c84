// No COM on POSIX: the XML DOM needs no apartment.
#include "platform/com_apartment.h"

namespace kalinor::platform {

ComApartment::ComApartment() = default;

ComApartment::~ComApartment() = default;

}  // namespace kalinor::platform
