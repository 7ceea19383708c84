// The folder owner's file-system identity over setfsuid and setfsgid, which
// change only what file acts are checked against (and what they create),
// never the process's real or effective user.
#include "platform/folder_owner.h"

#include <grp.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace kalinor::platform {

namespace {

// The status of path, or of the nearest folder above it that exists; a link
// is looked at itself, never followed. False when nothing along it exists.
bool NearestExisting(std::wstring path, struct stat& status) {
  for (;;) {
    if (::lstat(ToUtf8(path).c_str(), &status) == 0) return true;
    const std::wstring parent = ParentFolder(path);
    if (parent.empty() || parent == path) return false;
    path = parent;
  }
}

}  // namespace

std::optional<FolderOwner> ActAsOwnerOf(const std::wstring& path) {
  struct stat status {};
  if (::geteuid() != 0 || path.empty() || !NearestExisting(path, status) || status.st_uid == 0)
    return std::nullopt;
  const uid_t uid = status.st_uid;
  gid_t gid = status.st_gid;
  FolderOwner owner{std::to_wstring(uid), uid};
  std::vector<gid_t> groups;
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    owner.Name = FromUtf8(found->pw_name);
    gid = found->pw_gid;
    int count = 64;
    groups.resize(static_cast<std::size_t>(count));
    if (::getgrouplist(found->pw_name, gid, groups.data(), &count) < 0) {
      groups.resize(static_cast<std::size_t>(count));
      ::getgrouplist(found->pw_name, gid, groups.data(), &count);
    }
    groups.resize(static_cast<std::size_t>(count));
  }
  if (groups.empty()) groups.push_back(gid);
  if (::setgroups(groups.size(), groups.data()) != 0) return std::nullopt;
  ::setfsgid(gid);
  ::setfsuid(uid);
  // Each call answers with the identity before it: asking again tells
  // whether the switch took.
  if (static_cast<uid_t>(::setfsuid(uid)) != uid || static_cast<gid_t>(::setfsgid(gid)) != gid)
    return std::nullopt;
  return owner;
}

}  // namespace kalinor::platform
