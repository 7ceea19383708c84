#include "platform/mapi_service_catalogue.h"

#include <windows.h>

#include "platform/files.h"

namespace kalinor::platform {

std::wstring MapiServiceCataloguePath(const std::wstring& mapi_dll) {
  const std::wstring folder = ParentFolder(mapi_dll);
  if (!folder.empty()) {
    const std::wstring beside = JoinPath(folder, L"mapisvc.inf");
    if (PathExists(beside)) return beside;
  }
  wchar_t system[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return {};
  return std::wstring(system, length) + L"\\mapisvc.inf";
}

}  // namespace kalinor::platform
