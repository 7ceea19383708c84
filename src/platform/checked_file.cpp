// A checked file by its path: its folder held first, as every connector
// folder is (a privileged run follows no link there that the system did not
// make), then the file opened relative to it.
#include "platform/checked_file.h"

#include "platform/files_os.h"
#include "platform/held_folder.h"

namespace kalinor::platform {

CheckedFile OpenCheckedFile(const std::wstring& path, CheckedFileUse use) {
  CheckedFile result;
  if (!os::IsUsablePath(path)) {
    result.Refusal = L"not a usable path";
    return result;
  }
  const PathParts parts = SplitPath(path, PathSeparators::kNativeOnly);
  const HeldFolder folder = HeldFolder::Open(parts.Folder.empty() ? L"." : parts.Folder);
  if (folder.IsHeld()) return folder.OpenChecked(parts.Name, use);
  if (!folder.RefusedLink().empty())
    result.Refusal = L"reached through a link the system did not make, " + folder.RefusedLink();
  else if (use == CheckedFileUse::kExistingLock &&
           folder.OpenError().Kind() == ErrorKind::kNotFound)
    result.Missing = true;
  else
    result.Refusal = DescribeSystemError(folder.OpenError());
  return result;
}

}  // namespace kalinor::platform
