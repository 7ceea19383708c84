// Per-user special folders of the shell, by CSIDL. On POSIX: CSIDL_APPDATA is
// $XDG_CONFIG_HOME or ~/.config, CSIDL_LOCAL_APPDATA $XDG_DATA_HOME or
// ~/.local/share, CSIDL_PERSONAL the XDG documents folder or ~/Documents,
// CSIDL_PROFILE $HOME.
#pragma once

#include <string>

namespace kalinor::platform {

inline constexpr int kCsidlPersonal = 5;       // CSIDL_PERSONAL
inline constexpr int kCsidlAppData = 26;       // CSIDL_APPDATA (0x1A)
inline constexpr int kCsidlLocalAppData = 28;  // CSIDL_LOCAL_APPDATA (0x1C)
inline constexpr int kCsidlProfile = 40;       // CSIDL_PROFILE (0x28)

/// Whether a lookup creates a special folder that is missing.
enum class SpecialFolderCreation { kCreate, kNone };

/// The folder's path, created when missing unless creation is kNone
/// (SHGetSpecialFolderPathW with or without the create flag). With kNone a
/// missing folder still gives its path where the system can name it. "" when
/// it cannot be found, is not a folder, or the identifier is unknown.
std::wstring GetSpecialFolderPath(int csidl,
                                  SpecialFolderCreation creation = SpecialFolderCreation::kCreate);

}  // namespace kalinor::platform
