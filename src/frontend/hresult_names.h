// Symbolic names and meanings of the HRESULTs this tool can meet (MAPI, COM,
// OLE, Win32): the one table behind the log's names and kalinor-query error.
#pragma once

#include "platform/hresult.h"

namespace kalinor {

struct HResultName {
  HRESULT Value;
  const wchar_t* Name;     ///< as the SDK spells it, e.g. L"MAPI_E_NOT_FOUND"
  const wchar_t* Meaning;  ///< one line
};

/// The table's entry for hr; nullptr when the code is not in it.
const HResultName* FindHResultName(HRESULT hr);

}  // namespace kalinor
