#include <windows.h>

#include <string>

#include "platform/log_output.h"
#include "platform/text.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {

bool AppendLineToFile(const std::wstring& path, std::wstring_view line) {
  if (path.empty() || path.find(L'\0') != std::wstring::npos) return false;
  // Append-only access: every write lands at the end of the file in one
  // piece, also beside another run's writes.
  FileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  const std::string bytes = ToUtf8(line) + '\n';
  DWORD written = 0;
  const bool whole = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                               nullptr) != FALSE &&
                     written == bytes.size();
  return file.Close() && whole;
}

}  // namespace kalinor::platform
