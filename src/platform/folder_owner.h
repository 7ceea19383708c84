// A privileged run in another account's folder acts there only as that
// account could: it takes the folder owner's file-system identity, so that a
// link the owner made leads nowhere the owner could not go, and what the run
// creates belongs to the owner.
#pragma once

#include <optional>
#include <string>

namespace kalinor::platform {

/// The account whose file-system identity the run took.
struct FolderOwner {
  std::wstring Name;  ///< the account's name; its number when it has none
  unsigned long Id = 0;
};

/// When this process runs with rights beyond an account's own (POSIX: the
/// effective user is root) and the folder at path, or where it does not exist
/// yet the nearest folder above it that does, belongs to another account,
/// takes that account's file-system identity (its user, its group and its
/// supplementary groups) for every later file act of the process. Returns
/// the owner when it did; nullopt when nothing changed: an unprivileged run,
/// a folder of root's, an empty path, a failed switch (the run then keeps
/// its own identity), and on Windows, which has no such identity.
std::optional<FolderOwner> ActAsOwnerOf(const std::wstring& path);

}  // namespace kalinor::platform
