// Another account's file-system identity taken by a root run (setfsuid,
// setfsgid and the account's groups): file acts are then checked as that
// account's, and what they create is that account's. For the platform
// layer's POSIX files only.
#pragma once

#include <sys/types.h>

#include <vector>

#include "platform/folder_owner.h"

namespace kalinor::platform {

/// Takes account uid's file-system identity (its primary group and groups
/// from its passwd entry; fallbackGid alone where it has none) for this
/// object's life, and puts the identity before back at its end unless kept.
/// Taken() false when the switch did not take (the run keeps its own).
class FsIdentitySwitch {
 public:
  FsIdentitySwitch(uid_t uid, gid_t fallbackGid);
  ~FsIdentitySwitch();
  FsIdentitySwitch(const FsIdentitySwitch&) = delete;
  FsIdentitySwitch& operator=(const FsIdentitySwitch&) = delete;

  bool Taken() const { return taken_; }
  /// The account whose identity was asked for.
  const FolderOwner& Owner() const { return owner_; }
  /// Keeps the identity for the rest of the process.
  void Keep() { kept_ = true; }

 private:
  void Restore();

  FolderOwner owner_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  std::vector<gid_t> groups_;
  bool taken_ = false;
  bool kept_ = false;
};

/// The user file acts are checked as now (setfsuid's answer; the effective
/// user unless a switch above changed it).
uid_t CurrentFsUid();

}  // namespace kalinor::platform
