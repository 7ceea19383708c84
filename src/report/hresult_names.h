// Symbolic names of the HRESULTs a run can report: the MAPI, COM, OLE and
// Win32 codes that its error lines and the run log name.
#pragma once

#include <cstdint>
#include <span>

namespace kalinor {

/// One known HRESULT: its value, its SDK name and what it means to this tool.
struct HResultName {
  std::uint32_t Code;
  const wchar_t* Name;     // as the SDK headers spell it, as "MAPI_E_NOT_FOUND"
  const wchar_t* Meaning;  // one line, for logs and documentation
};

/// Every known HRESULT, ordered by value. Where the SDK gives one value two
/// names (E_FAIL and MAPI_E_CALL_FAILED), the entry carries the COM name and
/// its meaning mentions the MAPI one.
std::span<const HResultName> KnownHResults();

/// The entry for code; null when the code is not known.
const HResultName* FindHResultName(std::uint32_t code);

}  // namespace kalinor
