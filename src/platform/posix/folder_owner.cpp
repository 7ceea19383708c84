// The folder owner's file-system identity over setfsuid and setfsgid, which
// change only what file acts are checked against (and what they create),
// never the process's real or effective user.
#include "platform/folder_owner.h"
#include "platform/posix/fs_identity.h"

#include <grp.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace kalinor::platform {

namespace {

// The status of the deepest folder along path that exists, looked at from
// the root down and never through a link: a link on the way is itself the
// deepest (its owner made it). False when not even the first exists.
bool DeepestExisting(const std::wstring& path, struct stat& status) {
  bool found = false;
  for (const std::wstring& prefix : FolderPathPrefixes(path)) {
    struct stat here {};
    if (::lstat(ToUtf8(prefix).c_str(), &here) != 0) break;
    status = here;
    found = true;
    if (S_ISLNK(here.st_mode)) break;
  }
  return found;
}

// The supplementary groups of the account name with primary group gid.
std::vector<gid_t> GroupsOf(const char* name, gid_t gid) {
  int count = 64;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  if (::getgrouplist(name, gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<std::size_t>(count));
    if (::getgrouplist(name, gid, groups.data(), &count) < 0) return {gid};
  }
  groups.resize(static_cast<std::size_t>(count));
  return groups;
}

// The account uid's name and groups (its primary group first), from its
// passwd entry; its number and fallbackGid where it has none.
FolderOwner OwnerEntry(uid_t uid, gid_t fallbackGid, gid_t& gid, std::vector<gid_t>& groups) {
  FolderOwner owner{std::to_wstring(uid), uid};
  gid = fallbackGid;
  groups = {gid};
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    owner.Name = FromUtf8(found->pw_name);
    gid = found->pw_gid;
    groups = GroupsOf(found->pw_name, gid);
  }
  return owner;
}

}  // namespace

FsIdentitySwitch::FsIdentitySwitch(uid_t uid, gid_t fallbackGid) {
  gid_t gid = 0;
  std::vector<gid_t> groups;
  owner_ = OwnerEntry(uid, fallbackGid, gid, groups);
  // Each call answers with the identity before it.
  uid_ = static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1)));
  gid_ = static_cast<gid_t>(::setfsgid(static_cast<gid_t>(-1)));
  groups_.resize(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
  if (::getgroups(static_cast<int>(groups_.size()), groups_.data()) < 0) return;
  if (::setgroups(groups.size(), groups.data()) != 0) return;
  ::setfsgid(gid);
  ::setfsuid(uid);
  // Asking again tells whether the switch took; where it did not, the
  // identity before is put back.
  taken_ = static_cast<uid_t>(::setfsuid(uid)) == uid && static_cast<gid_t>(::setfsgid(gid)) == gid;
  if (!taken_) Restore();
}

FsIdentitySwitch::~FsIdentitySwitch() {
  if (taken_ && !kept_) Restore();
}

void FsIdentitySwitch::Restore() {
  ::setfsuid(uid_);
  ::setfsgid(gid_);
  [[maybe_unused]] const int restored = ::setgroups(groups_.size(), groups_.data());
  taken_ = false;
}

uid_t CurrentFsUid() { return static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1))); }

std::optional<FolderOwner> ActAsOwnerOf(const std::wstring& path) {
  struct stat status {};
  if (::geteuid() != 0 || path.empty() || !DeepestExisting(path, status) || status.st_uid == 0)
    return std::nullopt;
  FsIdentitySwitch owner(status.st_uid, status.st_gid);
  if (!owner.Taken()) return std::nullopt;
  owner.Keep();
  return owner.Owner();
}

}  // namespace kalinor::platform
