#include "settings/settings_file_reader.h"

#include "platform/files.h"

namespace kalinor {

platform::SystemError ReadSettingsFileByName(const std::wstring& path, std::string& bytes) {
  return platform::ReadWholeFile(path, bytes);
}

}  // namespace kalinor
