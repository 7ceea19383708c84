// How a settings class reads its file: by name for a plain load, or through
// the cleanup's held folders, which follow no link.
#pragma once

#include <functional>
#include <string>

#include "platform/system_error.h"

namespace kalinor {

/// Reads the whole file at path into bytes; the cause (bytes empty) when it
/// cannot be read.
using SettingsFileReader =
    std::function<platform::SystemError(const std::wstring& path, std::string& bytes)>;

/// The reader by name: platform::ReadWholeFile under its size cap.
platform::SystemError ReadSettingsFileByName(const std::wstring& path, std::string& bytes);

}  // namespace kalinor
