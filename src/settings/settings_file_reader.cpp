#include "settings/settings_file_reader.h"

#include "platform/files.h"

namespace kalinor {

bool ReadSettingsFileByName(const std::wstring& path, std::string& bytes) {
  return !platform::ReadWholeFile(path, bytes).Failed();
}

}  // namespace kalinor
