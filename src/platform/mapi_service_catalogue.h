// Where MAPI looks for its service catalogue (mapisvc.inf), whose [Services]
// section lists the message services a profile may be given.
#pragma once

#include <string>

namespace kalinor::platform {

/// The mapisvc.inf that MAPI reads beside the given MAPI DLL. Windows: the
/// one in the DLL's folder when that file exists, else the system folder's
/// ("" when the system folder cannot be found). POSIX (the stand-in MAPI's
/// catalogue): $KALINOR_MAPISVC, else "kalinor/mapisvc.inf" in the XDG
/// configuration folder; "" when neither is known. The file itself need not
/// exist; nothing is read but the environment and the file system's entries.
std::wstring MapiServiceCataloguePath(const std::wstring& mapi_dll);

}  // namespace kalinor::platform
