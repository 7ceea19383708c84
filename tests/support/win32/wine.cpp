// Wine's ntdll exports wine_get_version; Windows's does not.
#include <windows.h>

#include "support/wine.h"

namespace kalinor::testing {

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace kalinor::testing
