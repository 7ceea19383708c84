#include <windows.h>
#include <objbase.h>

#include "com_start.h"

namespace kalinor::bench {

bool StartCom() { return SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }

}  // namespace kalinor::bench
