// Windows has no file-system identity to take: nothing changes here.
#include "platform/folder_owner.h"

namespace kalinor::platform {

std::optional<FolderOwner> ActAsOwnerOf(const std::wstring&) { return std::nullopt; }

}  // namespace kalinor::platform
