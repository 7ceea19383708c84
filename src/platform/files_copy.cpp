// The copy that never shows a part of its content under the final name,
// written once over the file services of either build.
#include "platform/files.h"
#include "platform/files_os.h"

namespace kalinor::platform {

bool CopyFileAtomicallyNoReplace(const std::wstring& from, const std::wstring& to) {
  if (QueryFileKind(from) != FileKind::kRegularFile || PathExists(to)) return false;
  const std::wstring temporary = TemporarySiblingPath(to);
  if (temporary.empty()) return false;
  if (!CopyFileTo(from, temporary, true)) return false;  // removes its own partial copy
  if (os::FlushFileAt(temporary) && RenameFileNoReplace(temporary, to)) return true;
  DeleteFileAt(temporary);
  return false;
}

}  // namespace kalinor::platform
