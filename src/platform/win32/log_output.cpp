#include <windows.h>

#include <string>

#include "platform/log_output.h"
#include "platform/text.h"

namespace kalinor::platform {

bool AppendLineToFile(const std::wstring& path, std::wstring_view line) {
  if (path.empty() || path.find(L'\0') != std::wstring::npos) return false;
  // Append-only access: every write lands at the end of the file in one
  // piece, also beside another run's writes.
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const std::string bytes = ToUtf8(line) + '\n';
  DWORD written = 0;
  const bool whole =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE &&
      written == bytes.size();
  return CloseHandle(file) != FALSE && whole;
}

}  // namespace kalinor::platform
