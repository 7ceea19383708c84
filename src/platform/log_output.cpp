#include "platform/log_output.h"

#include <utility>

#include "platform/text.h"

namespace kalinor::platform {

AppendOnlyLogFile::AppendOnlyLogFile(const std::wstring& path) {
  CheckedFile opened = OpenCheckedFile(path, CheckedFileUse::kAppend);
  m_file = std::move(opened.File);
  m_refusal = std::move(opened.Refusal);
}

SystemError AppendOnlyLogFile::AppendLine(std::wstring_view line) {
  if (!m_file.IsValid()) return NotOpenError();
  return AppendToCheckedFile(m_file.Get(), ToUtf8(line) + '\n');
}

}  // namespace kalinor::platform
