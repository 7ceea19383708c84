// The held folder's OS steps over Win32 and the native API: a folder handle
// opened without following a reparse point and without FILE_SHARE_DELETE (so
// that it can be neither renamed nor replaced while held), every entry opened
// relative to it with NtCreateFile and FILE_OPEN_REPARSE_POINT, and deleted
// or renamed through its own handle, never by a name looked up again.
#include "platform/held_folder_os.h"

#include <windows.h>
#include <aclapi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <new>
#include <optional>
#include <vector>

#include "platform/files_os.h"
#include "platform/win32/access_checks.h"
#include "platform/win32/file_io.h"
#include "platform/win32/native_api.h"

namespace kalinor::platform::os {

namespace {

SystemError ErrorOf(DWORD code) { return SystemError{code}; }

HANDLE AsHandle(Native handle) { return reinterpret_cast<HANDLE>(handle); }
Native AsNative(HANDLE handle) { return reinterpret_cast<Native>(handle); }

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Held folders can be read and written around, but not renamed or deleted.
constexpr ULONG kSharePinned = FILE_SHARE_READ | FILE_SHARE_WRITE;

// A sharing violation that lasts a moment (an antivirus scan, the indexer,
// the connector's own save) is waited out this many times, this long each.
constexpr int kBusyAttempts = 10;
constexpr DWORD kBusyPauseMs = 50;

// The step a refused act names: the user's own token does not allow it.
constexpr const wchar_t* kNotTheUsers = L"not allowed to the user this run acts for";

constexpr native::Status kStatusInvalidParameter = static_cast<native::Status>(0xC000000DL);
constexpr native::Status kStatusDeletePending = static_cast<native::Status>(0xC0000056L);
constexpr native::Status kStatusReparsePointEncountered = static_cast<native::Status>(0xC000050BL);

// Runs act until it succeeds or fails for another reason than another
// process's hold, a bounded number of times.
template <typename Act>
SystemError RetryWhileBusy(Act act) {
  SystemError error;
  for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
    error = act();
    if (error.Kind() != ErrorKind::kBusy) break;
    Sleep(kBusyPauseMs);
  }
  return error;
}

// The Win32 error of a native status, with the two this code names itself:
// a file being deleted is going (not "Access is denied"), and a reparse
// point that OBJ_DONT_REPARSE refused is a link on the way.
SystemError ErrorOfStatus(native::Status status) {
  if (status == kStatusDeletePending) return ErrorOf(ERROR_DELETE_PENDING);
  if (status == kStatusReparsePointEncountered) return ErrorOfKind(ErrorKind::kIsLink);
  return ErrorOf(native::StatusToError(status));
}

// Opens name relative to folder without following a reparse point at it (or,
// with OBJ_DONT_REPARSE, anywhere in the name), or with followLink through
// the one at it. Systems before Windows 10 1709 refuse OBJ_DONT_REPARSE:
// opened again without it.
SystemError OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                         ULONG disposition, ULONG options, NativeFile& opened,
                         bool followLink = false) {
  const std::size_t bytes = name.size() * sizeof(wchar_t);
  if (bytes > native::kMaxCountedNameBytes) return ErrorOf(ERROR_FILENAME_EXCED_RANGE);
  native::CountedName text{static_cast<USHORT>(bytes), static_cast<USHORT>(bytes),
                           const_cast<wchar_t*>(name.c_str())};
  native::Status result = 0;
  for (const ULONG dontReparse : {followLink ? ULONG{0} : native::kObjDontReparse, ULONG{0}}) {
    native::ObjectAttributes attributes{
        sizeof attributes, folder, &text, native::kObjCaseInsensitive | dontReparse,
        nullptr,           nullptr};
    native::IoStatus status{};
    HANDLE handle = INVALID_HANDLE_VALUE;
    result = native::CreateFileAt(&handle, access | SYNCHRONIZE, &attributes, &status,
                                  FILE_ATTRIBUTE_NORMAL, share, disposition,
                                  options | (followLink ? 0 : native::kFileOpenReparsePoint) |
                                      native::kFileSynchronousIoNonalert);
    if (result >= 0) {
      opened.Reset(AsNative(handle));
      return {};
    }
    if (result != kStatusInvalidParameter) break;
  }
  return ErrorOfStatus(result);
}

std::optional<FILE_ATTRIBUTE_TAG_INFO> AttributesOf(HANDLE entry) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &info, sizeof info))
    return std::nullopt;
  return info;
}

// A link: a reparse point whose tag is a name surrogate (a symbolic link, a
// junction or mount point, and the like). OneDrive and other cloud-file
// placeholders, deduplicated and container (WCI) files carry reparse points
// that are not links: they are the file or folder they are.
bool IsLink(const FILE_ATTRIBUTE_TAG_INFO& info) {
  return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         IsReparseTagNameSurrogate(info.ReparseTag);
}

bool IsFolder(const FILE_ATTRIBUTE_TAG_INFO& info) {
  return (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// GetFinalPathNameByHandleW's \\?\C:\x and \\?\UNC\server\share\x as C:\x
// and \\server\share\x.
std::wstring FinalPathOf(HANDLE entry) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(entry, buffer.data(), static_cast<DWORD>(buffer.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
      if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
      return path;
    }
    buffer.resize(length + 1);
  }
}

// True when a call failed only because the system or file system lacks the
// form asked for (ERROR_CALL_NOT_IMPLEMENTED is how Wine says it).
bool IsUnsupported(DWORD error) {
  return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
         error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED;
}

// Deletes the open entry. With POSIX semantics its name goes at once, not
// when the last handle closes: nothing can be put under the name meanwhile.
// Only where the system or file system lacks that form does the plain
// disposition stand in.
SystemError MarkForDeletion(HANDLE entry) {
  native::DispositionRecordEx now{native::kDispositionDelete | native::kDispositionPosixSemantics};
  if (SetFileInformationByHandle(
          entry, static_cast<FILE_INFO_BY_HANDLE_CLASS>(native::kFileDispositionInfoEx), &now,
          sizeof now))
    return {};
  const DWORD error = GetLastError();
  if (!IsUnsupported(error)) return ErrorOf(error);
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof disposition)
             ? SystemError{}
             : LastSystemError();
}

// One rename of entry through the native call, in the record's plain or Ex
// form: FILE_RENAME_INFORMATION with a root folder is the native form, which
// not every Win32 layer passes on.
native::Status RenameThrough(HANDLE entry, HANDLE folder, const std::wstring& name, ULONG flags,
                             int informationClass) {
  const std::size_t nameBytes = name.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(native::RenameRecord) + nameBytes);
  auto* info = reinterpret_cast<native::RenameRecord*>(buffer.data());
  info->Flags = flags;
  info->RootDirectory = folder;
  info->FileNameLength = static_cast<ULONG>(nameBytes);
  std::copy(name.begin(), name.end(), info->FileName);
  native::IoStatus status{};
  return native::SetFileInformation(entry, &status, info, static_cast<ULONG>(buffer.size()),
                                    informationClass);
}

// Renames the open entry to name in folder. Replacing, with POSIX semantics
// (a target that another process holds open is replaced all the same), and
// the plain form where the file system lacks it; a read-only target still
// refuses.
SystemError RenameInto(HANDLE entry, HANDLE folder, const std::wstring& name, bool replace) {
  if (name.size() * sizeof(wchar_t) > native::kMaxCountedNameBytes)
    return ErrorOf(ERROR_FILENAME_EXCED_RANGE);
  if (replace) {
    const native::Status result = RenameThrough(
        entry, folder, name, native::kRenameReplaceIfExists | native::kRenamePosixSemantics,
        native::kFileRenameInformationEx);
    if (result >= 0) return {};
    const SystemError error = ErrorOfStatus(result);
    if (!IsUnsupported(error.Code)) return error;
  }
  // The plain record's boolean is the first byte of the same word.
  const native::Status result =
      RenameThrough(entry, folder, name, replace ? TRUE : FALSE, native::kFileRenameInformation);
  return result >= 0 ? SystemError{} : ErrorOfStatus(result);
}

// READ_CONTROL in a privileged run, whose acts are checked against the
// descriptors read through their handles; nothing asked beyond the act's own
// rights otherwise.
ACCESS_MASK ForChecks() { return IsPrivilegedRun() || HasUserToken() ? READ_CONTROL : 0; }

ACCESS_MASK AccessFor(EntryUse use) {
  switch (use) {
    case EntryUse::kLook:
      return FILE_READ_ATTRIBUTES | READ_CONTROL;
    case EntryUse::kRead:
      return GENERIC_READ;
    case EntryUse::kDelete:
      return DELETE | FILE_READ_ATTRIBUTES | ForChecks();
    case EntryUse::kMove:
      return GENERIC_READ | DELETE;
  }
  return FILE_READ_ATTRIBUTES;
}

}  // namespace

namespace {

constexpr ACCESS_MASK kFolderAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL;

// A link the system made: owned by SYSTEM, TrustedInstaller or the
// Administrators, and neither its own access list nor its folder's lets
// anyone else re-point, delete or replace it. An administrator's junction
// that inherits a user's full control is the user's.
bool IsSystemLink(HANDLE link, HANDLE folder) {
  constexpr ACCESS_MASK kChangeLink = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER |
                                      GENERIC_WRITE | GENERIC_ALL;
  constexpr ACCESS_MASK kReplaceEntry = FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR linkDescriptor = nullptr;
  PSECURITY_DESCRIPTOR folderDescriptor = nullptr;
  bool system = SecurityOf(link, owner, dacl, linkDescriptor) && IsSystemSid(owner) &&
                !OthersMay(dacl, kChangeLink);
  if (system) {
    PSID folderOwner = nullptr;
    PACL folderDacl = nullptr;
    system = SecurityOf(folder, folderOwner, folderDacl, folderDescriptor) &&
             !OthersMay(folderDacl, kReplaceEntry);
  }
  LocalFree(linkDescriptor);
  LocalFree(folderDescriptor);
  return system;
}

// Where the root of a full path ends: after "C:\" or "\\server\share\".
std::size_t RootLength(const std::wstring& path) {
  if (path.rfind(L"\\\\", 0) != 0) return std::min<std::size_t>(3, path.size());
  const std::size_t server = path.find(L'\\', 2);
  const std::size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
  return share == std::wstring::npos ? path.size() : share + 1;
}

// The names of text, in order, as separate steps (empty ones dropped).
void PrependNames(const std::wstring& text, std::deque<std::wstring>& pending) {
  std::vector<std::wstring> names;
  for (std::size_t from = 0; from <= text.size();) {
    const std::size_t end = std::min(text.find(L'\\', from), text.size());
    if (end > from) names.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  pending.insert(pending.begin(), names.begin(), names.end());
}

// The text the open link points at, as the walk follows it name by name:
// an absolute "C:\x" or "\\server\share\x", or a relative "x\y" from the
// link's folder. nullopt where the walk cannot follow it by name: a volume
// GUID target, another kind of reparse point, or data it cannot read.
std::optional<std::wstring> LinkTarget(HANDLE link) {
  std::vector<unsigned char> buffer(16 * 1024);  // the largest reparse data there is
  DWORD got = 0;
  if (!DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                       static_cast<DWORD>(buffer.size()), &got, nullptr) ||
      got < sizeof(native::ReparseHeader) + sizeof(native::ReparseNames))
    return std::nullopt;
  native::ReparseHeader header{};
  native::ReparseNames names{};
  std::memcpy(&header, buffer.data(), sizeof header);
  std::memcpy(&names, buffer.data() + sizeof header, sizeof names);
  std::size_t pathBuffer = sizeof header + sizeof names;
  ULONG flags = 0;
  if (header.Tag == IO_REPARSE_TAG_SYMLINK) {
    if (got < pathBuffer + sizeof flags) return std::nullopt;
    std::memcpy(&flags, buffer.data() + pathBuffer, sizeof flags);
    pathBuffer += sizeof flags;
  } else if (header.Tag != IO_REPARSE_TAG_MOUNT_POINT) {
    return std::nullopt;
  }
  const std::size_t start = pathBuffer + names.SubstituteOffset;
  if (names.SubstituteLength % sizeof(wchar_t) != 0 || start + names.SubstituteLength > got)
    return std::nullopt;
  std::wstring target(names.SubstituteLength / sizeof(wchar_t), L'\0');
  std::memcpy(target.data(), buffer.data() + start, names.SubstituteLength);
  if (header.Tag == IO_REPARSE_TAG_SYMLINK && (flags & native::kSymlinkFlagRelative) != 0)
    return target;
  constexpr std::wstring_view kNtPrefix = L"\\??\\";
  if (target.rfind(kNtPrefix, 0) != 0) return std::nullopt;
  target.erase(0, kNtPrefix.size());
  if (target.rfind(L"UNC\\", 0) == 0) return L"\\\\" + target.substr(4);
  const bool drive = target.size() >= 3 && target[1] == L':' && target[2] == L'\\';
  return drive ? std::optional<std::wstring>(target) : std::nullopt;
}

// Opens the root of a full path ("C:\", "\\server\share\").
SystemError OpenRoot(const std::wstring& root, NativeFile& opened) {
  opened.Reset(AsNative(
      CreateFileW(root.c_str(), kFolderAccess | SYNCHRONIZE, kShareAll, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
  return opened.IsValid() ? SystemError{} : LastSystemError();
}

// The privileged walk: path's own names from its root down, each opened
// without following a reparse point. A link the system made is followed by
// its own text, name by name under the same rule (as the kernel would
// follow every reparse point inside its target unchecked); any other is
// refused and named.
SystemError WalkFollowingSystemLinks(const std::wstring& path, NativeFile& folder,
                                     std::wstring& refusedLink) {
  std::vector<wchar_t> full(32768);
  const DWORD length =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return LastSystemError();
  const std::wstring whole(full.data(), length);
  struct Step {
    NativeFile Folder;
    std::wstring Text;
  };
  std::vector<Step> walked(1);
  walked[0].Text = whole.substr(0, RootLength(whole));
  if (const SystemError error = OpenRoot(walked[0].Text, walked[0].Folder); error.Failed())
    return error;
  std::deque<std::wstring> pending;
  PrependNames(whole.substr(walked[0].Text.size()), pending);
  constexpr int kMostLinks = 40;
  int links = 0;
  while (!pending.empty()) {
    const std::wstring name = pending.front();
    pending.pop_front();
    if (name == L".") continue;
    if (name == L"..") {
      if (walked.size() > 1) walked.pop_back();
      continue;
    }
    const HANDLE parent = AsHandle(walked.back().Folder.Get());
    const std::wstring& parentText = walked.back().Text;
    const std::wstring here = parentText + (parentText.back() == L'\\' ? L"" : L"\\") + name;
    NativeFile next;
    if (const SystemError error = OpenRelative(parent, name, kFolderAccess, kSharePinned,
                                               native::kFileOpen, native::kFileDirectoryFile, next);
        error.Failed())
      return error;
    const auto info = AttributesOf(AsHandle(next.Get()));
    if (!info) return LastSystemError();
    if (!IsLink(*info)) {
      walked.push_back({std::move(next), here});
      continue;
    }
    const std::optional<std::wstring> target = IsSystemLink(AsHandle(next.Get()), parent)
                                                   ? LinkTarget(AsHandle(next.Get()))
                                                   : std::nullopt;
    if (!target || ++links > kMostLinks) {
      refusedLink = here;
      return ErrorOfKind(ErrorKind::kIsLink);
    }
    const std::size_t root = RootLength(*target);
    const bool absolute =
        target->size() >= 2 && ((*target)[1] == L':' || target->rfind(L"\\\\", 0) == 0);
    if (absolute) {
      walked.resize(1);
      walked[0].Text = target->substr(0, root);
      if (const SystemError error = OpenRoot(walked[0].Text, walked[0].Folder); error.Failed())
        return error;
      PrependNames(target->substr(root), pending);
    } else {
      PrependNames(*target, pending);
    }
  }
  folder = std::move(walked.back().Folder);
  return {};
}

}  // namespace

bool RunIsPrivileged() { return IsPrivilegedRun(); }

SystemError UserCould(Native folder, Native entry, UserAct act) {
  if (!HasUserToken()) return {};
  const HANDLE in = AsHandle(folder);
  const HANDLE file = AsHandle(entry);
  const auto mayDelete = [&] {
    return UserTokenMay(file, DELETE) || UserTokenMay(in, FILE_DELETE_CHILD);
  };
  bool may = false;
  switch (act) {
    case UserAct::kRead:
      may = UserTokenMay(file, FILE_READ_DATA);
      break;
    case UserAct::kCreateFile:
      may = UserTokenMay(in, FILE_ADD_FILE);
      break;
    case UserAct::kCreateFolder:
      may = UserTokenMay(in, FILE_ADD_SUBDIRECTORY);
      break;
    case UserAct::kDelete:
    case UserAct::kReplace:  // the rename over it deletes the old file
      may = mayDelete();
      break;
  }
  return may ? SystemError{} : SystemError{ERROR_ACCESS_DENIED, kNotTheUsers};
}

SystemError OpenHeldRoot(const std::wstring& path, NativeFile& folder, std::wstring& realPath,
                         std::wstring& refusedLink) {
  NativeFile opened;
  if (IsPrivilegedRun()) {
    if (const SystemError error = WalkFollowingSystemLinks(path, opened, refusedLink);
        error.Failed())
      return error;
  } else {
    opened.Reset(AsNative(CreateFileW(
        path.c_str(),
        FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE | ForChecks(),
        kSharePinned, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
    if (!opened.IsValid()) return LastSystemError();
  }
  const auto info = AttributesOf(AsHandle(opened.Get()));
  if (!info) return LastSystemError();
  if (IsLink(*info)) return ErrorOfKind(ErrorKind::kIsLink);
  if (!IsFolder(*info)) return ErrorOf(ERROR_DIRECTORY);
  // The real path comes from the handle itself: no name is looked up again.
  std::wstring real = FinalPathOf(AsHandle(opened.Get()));
  if (real.empty()) return LastSystemError();
  if (real.size() > 3 && real.back() == L'\\') real.pop_back();
  folder = std::move(opened);
  realPath = std::move(real);
  return {};
}

SystemError OpenSubfolder(Native folder, const std::wstring& name, NativeFile& opened) {
  const SystemError error = RetryWhileBusy([&] {
    return OpenRelative(AsHandle(folder), name,
                        FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | ForChecks(),
                        kSharePinned, native::kFileOpen, native::kFileDirectoryFile, opened);
  });
  if (error.Failed()) return error;
  const auto info = AttributesOf(AsHandle(opened.Get()));
  if (info && !IsLink(*info)) return {};
  const SystemError refusal = info ? ErrorOfKind(ErrorKind::kIsLink) : LastSystemError();
  opened.Reset();
  return refusal;
}

SystemError CreateFolderIn(Native folder, const std::wstring& name, bool, NativeFile& opened) {
  // The new folder inherits its parent's access list, as CreateDirectoryW's does.
  return OpenRelative(AsHandle(folder), name,
                      FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | ForChecks(),
                      kSharePinned, native::kFileCreate, native::kFileDirectoryFile, opened);
}

SystemError OpenEntryIn(Native folder, const std::wstring& name, EntryUse use, NativeFile& opened) {
  return RetryWhileBusy([&] {
    return OpenRelative(AsHandle(folder), name, AccessFor(use) | FILE_READ_ATTRIBUTES, kShareAll,
                        native::kFileOpen, 0, opened);
  });
}

SystemError FactsOf(Native entry, EntryFacts& facts) {
  const HANDLE handle = AsHandle(entry);
  const auto info = AttributesOf(handle);
  BY_HANDLE_FILE_INFORMATION standard{};
  if (!info || !GetFileInformationByHandle(handle, &standard)) return LastSystemError();
  if (IsLink(*info))
    facts.Kind = FileKind::kLink;
  else if (IsFolder(*info))
    facts.Kind = FileKind::kFolder;
  else if (GetFileType(handle) != FILE_TYPE_DISK ||
           (info->FileAttributes & FILE_ATTRIBUTE_DEVICE) != 0)
    facts.Kind = FileKind::kOther;
  else
    facts.Kind = FileKind::kRegularFile;
  facts.Size = (static_cast<std::uint64_t>(standard.nFileSizeHigh) << 32) | standard.nFileSizeLow;
  facts.Links = standard.nNumberOfLinks;
  return {};
}

bool LiesBelow(Native entry, const std::wstring& folderReal) {
  const std::wstring real = FinalPathOf(AsHandle(entry));
  const std::wstring prefix =
      !folderReal.empty() && folderReal.back() == L'\\' ? folderReal : folderReal + L"\\";
  return real.size() > prefix.size() && real.compare(0, prefix.size(), prefix) == 0;
}

SystemError DeleteEntry(Native, const std::wstring&, Native entry) {
  return RetryWhileBusy([&] { return MarkForDeletion(AsHandle(entry)); });
}

SystemError RenameEntry(Native, const std::wstring&, Native entry, Native toFolder,
                        const std::wstring& toName, bool replace) {
  return RetryWhileBusy(
      [&] { return RenameInto(AsHandle(entry), AsHandle(toFolder), toName, replace); });
}

bool IsOtherFileSystem(SystemError error) { return error.Code == ERROR_NOT_SAME_DEVICE; }

SystemError CreateNewFile(Native folder, const std::wstring& name, NativeFile& file) {
  return OpenRelative(AsHandle(folder), name,
                      GENERIC_WRITE | DELETE | WRITE_DAC | WRITE_OWNER | READ_CONTROL, 0,
                      native::kFileCreate, native::kFileNonDirectoryFile, file);
}

SystemError WriteAll(Native file, std::string_view bytes) {
  return platform::WriteAll(AsHandle(file), bytes) ? SystemError{} : LastSystemError();
}

SystemError CopyContent(Native in, Native out) {
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(AsHandle(in), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
      return LastSystemError();
    if (got == 0) return {};
    if (!platform::WriteAll(AsHandle(out), std::string_view(buffer.data(), got)))
      return LastSystemError();
  }
}

SystemError Flush(Native file) {
  return FlushFileBuffers(AsHandle(file)) ? SystemError{} : LastSystemError();
}

SystemError ReadToEnd(Native file, std::uint64_t expectedSize, std::string& bytes,
                      std::size_t max_bytes) {
  return ReadWholeOpenFile(AsHandle(file), expectedSize, bytes, max_bytes);
}

void TakeOwnerAndPermissions(Native old, Native file) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!SecurityOf(AsHandle(old), owner, dacl, descriptor)) return;
  // A DACL that was protected from its folder's stays so: the new file
  // would otherwise take the folder's entries on top of its own.
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  const bool protectedDacl = GetSecurityDescriptorControl(descriptor, &control, &revision) &&
                             (control & SE_DACL_PROTECTED) != 0;
  SetSecurityInfo(
      AsHandle(file), SE_FILE_OBJECT,
      DACL_SECURITY_INFORMATION | (protectedDacl ? PROTECTED_DACL_SECURITY_INFORMATION : 0),
      nullptr, nullptr, dacl, nullptr);
  SetSecurityInfo(AsHandle(file), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr,
                  nullptr, nullptr);
  LocalFree(descriptor);
}

std::vector<std::wstring> NamesIn(Native folder) {
  std::vector<std::wstring> names;
  std::vector<unsigned char> buffer(64 * 1024);
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  while (GetFileInformationByHandleEx(AsHandle(folder), kind, buffer.data(),
                                      static_cast<DWORD>(buffer.size()))) {
    kind = FileIdBothDirectoryInfo;
    for (std::size_t at = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
      std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") names.push_back(std::move(name));
      if (entry->NextEntryOffset == 0) break;
      at += entry->NextEntryOffset;
    }
  }
  return names;
}

void SyncFolder(Native) {}

namespace {

ACCESS_MASK CheckedAccess(CheckedFileUse use) {
  switch (use) {
    case CheckedFileUse::kAppend:
      // Append-only: every write lands at the end in one piece, also beside
      // another run's writes.
      return FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
    case CheckedFileUse::kLock:
      return GENERIC_READ | GENERIC_WRITE;
    case CheckedFileUse::kExistingLock:
      break;
  }
  return GENERIC_READ;
}

// Why the open file may not be used as a checked file; "" when it may.
std::wstring CheckedRefusalOf(HANDLE file, bool created) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return DescribeSystemError(LastSystemError());
  const auto tag = AttributesOf(file);
  if (tag && IsLink(*tag)) return L"a link";
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      GetFileType(file) != FILE_TYPE_DISK)
    return L"not a regular file";
  if (info.nNumberOfLinks != 1) return std::to_wstring(info.nNumberOfLinks) + L" links";
  if (!created && !OwnedByThisRun(file)) return L"owned by another account";
  return {};
}

// Why a privileged run may not write a log (an appended file, whose lines
// end in text others chose) in the open folder at all: one that holds no user
// token to check against writes it only in a folder no one else may change.
// "" when it may.
std::wstring PrivilegedFolderRefusal(HANDLE folder, CheckedFileUse use) {
  if (use != CheckedFileUse::kAppend || !IsPrivilegedRun() || HasUserToken() ||
      OnlyThisRunMayChange(folder))
    return {};
  return L"in a folder other accounts may change, where a run without the user's own token "
         L"keeps no log: choose a folder only administrators may change";
}

}  // namespace

CheckedFile OpenCheckedFileIn(Native folder, const std::wstring& name, CheckedFileUse use) {
  CheckedFile result;
  result.Refusal = PrivilegedFolderRefusal(AsHandle(folder), use);
  if (!result.Refusal.empty()) return result;
  const ACCESS_MASK access = CheckedAccess(use) | FILE_READ_ATTRIBUTES | READ_CONTROL;
  SystemError error;
  const bool userMayCreate = UserTokenMay(AsHandle(folder), FILE_ADD_FILE);
  if (use != CheckedFileUse::kExistingLock && userMayCreate) {
    error = OpenRelative(AsHandle(folder), name, access, kShareAll, native::kFileCreate,
                         native::kFileNonDirectoryFile, result.File);
    result.Created = !error.Failed();
  }
  if (!result.Created)
    error = RetryWhileBusy([&] {
      return OpenRelative(AsHandle(folder), name, access, kShareAll, native::kFileOpen, 0,
                          result.File);
    });
  if (error.Failed()) {
    if (use == CheckedFileUse::kExistingLock && error.Kind() == ErrorKind::kNotFound)
      result.Missing = true;
    else
      result.Refusal = error.Kind() == ErrorKind::kNotFound && !userMayCreate
                           ? std::wstring(kNotTheUsers)
                           : DescribeSystemError(error);
    return result;
  }
  result.Refusal = CheckedRefusalOf(AsHandle(result.File.Get()), result.Created);
  if (result.Refusal.empty() && !result.Created &&
      !UserTokenMay(AsHandle(result.File.Get()), CheckedAccess(use)))
    result.Refusal = kNotTheUsers;
  if (!result.Refusal.empty()) {
    result.File.Reset();
    result.Created = false;
  }
  return result;
}

}  // namespace kalinor::platform::os
