// The held folder over Win32 and the native API: a folder handle opened
// without following a reparse point and without FILE_SHARE_DELETE (so that
// it can be neither renamed nor replaced while held), every entry opened
// relative to it with NtCreateFile and FILE_OPEN_REPARSE_POINT, and deleted
// or renamed through its own handle (SetFileInformationByHandle), never by
// a name looked up again.
#include "platform/held_folder.h"

#include <windows.h>
#include <aclapi.h>

#include <new>
#include <optional>
#include <vector>

#include "platform/files_os.h"
#include "platform/win32/file_io.h"
#include "platform/win32/native_api.h"
#include "platform/win32/scoped_handles.h"

namespace kalinor::platform {

struct HeldFolder::Handle {
  FileHandle Folder;
};

namespace {

SystemError ErrorOf(DWORD code) { return SystemError{code}; }
SystemError LastError() { return ErrorOf(GetLastError()); }

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Held folders can be read and written around, but not renamed or deleted.
constexpr ULONG kSharePinned = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Opens name relative to folder without following a reparse point at it.
FileHandle OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                        ULONG disposition, ULONG options, SystemError& error) {
  const std::size_t bytes = name.size() * sizeof(wchar_t);
  if (bytes > native::kMaxCountedNameBytes) {
    error = ErrorOf(ERROR_FILENAME_EXCED_RANGE);
    return FileHandle();
  }
  native::CountedName text{static_cast<USHORT>(bytes), static_cast<USHORT>(bytes),
                           const_cast<wchar_t*>(name.c_str())};
  native::ObjectAttributes attributes{sizeof attributes,           folder,  &text,
                                      native::kObjCaseInsensitive, nullptr, nullptr};
  native::IoStatus status{};
  HANDLE opened = INVALID_HANDLE_VALUE;
  const native::Status result = native::CreateFileAt(
      &opened, access | SYNCHRONIZE, &attributes, &status, FILE_ATTRIBUTE_NORMAL, share,
      disposition, options | native::kFileOpenReparsePoint | native::kFileSynchronousIoNonalert);
  if (result < 0) {
    error = ErrorOf(native::StatusToError(result));
    return FileHandle();
  }
  return FileHandle(opened);
}

std::optional<FILE_ATTRIBUTE_TAG_INFO> AttributesOf(HANDLE entry) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &info, sizeof info))
    return std::nullopt;
  return info;
}

bool IsReparsePoint(const FILE_ATTRIBUTE_TAG_INFO& info) {
  return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolder(const FILE_ATTRIBUTE_TAG_INFO& info) {
  return (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Opens the folder name in folder, pinned; a reparse point there (a
// junction or a link) is refused, not followed.
FileHandle OpenSubfolder(HANDLE folder, const std::wstring& name, SystemError& error) {
  FileHandle opened =
      OpenRelative(folder, name, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                   kSharePinned, native::kFileOpen, native::kFileDirectoryFile, error);
  if (!opened.IsValid()) return opened;
  const auto info = AttributesOf(opened.Get());
  if (info && !IsReparsePoint(*info)) return opened;
  error = info ? LinkOnTheWay() : LastError();
  return FileHandle();
}

// The folder holding the last name of relative, opened from the held one
// down (pinned); the last name goes to leaf.
FileHandle ParentOf(HANDLE held, const std::wstring& relative, std::wstring& leaf,
                    SystemError& error) {
  const auto names = os::RelativeNames(relative);
  if (!names) {
    error = ErrorOf(ERROR_INVALID_NAME);
    return FileHandle();
  }
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), held, GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    error = LastError();
    return FileHandle();
  }
  FileHandle folder(copy);
  for (std::size_t i = 0; folder.IsValid() && i + 1 < names->size(); ++i)
    folder = OpenSubfolder(folder.Get(), (*names)[i], error);
  leaf = names->back();
  return folder;
}

// The entry leaf in folder (a file, folder or link itself), opened for access.
FileHandle OpenEntry(HANDLE folder, const std::wstring& leaf, ACCESS_MASK access,
                     SystemError& error) {
  return OpenRelative(folder, leaf, access | FILE_READ_ATTRIBUTES, kShareAll, native::kFileOpen, 0,
                      error);
}

// Opens the regular file (no reparse point, no folder, a disk file) at leaf.
FileHandle OpenRegularFile(HANDLE folder, const std::wstring& leaf, ACCESS_MASK access,
                           SystemError& error) {
  FileHandle file = OpenRelative(folder, leaf, access | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                 native::kFileOpen, native::kFileNonDirectoryFile, error);
  if (!file.IsValid()) return file;
  const auto info = AttributesOf(file.Get());
  if (info && !IsReparsePoint(*info) && GetFileType(file.Get()) == FILE_TYPE_DISK) return file;
  error = info ? (IsReparsePoint(*info) ? LinkOnTheWay() : ErrorOf(ERROR_INVALID_FUNCTION))
               : LastError();
  return FileHandle();
}

// Deletes the open entry. With POSIX semantics its name goes at once, not
// when the last handle closes: nothing can be put under the name meanwhile
// (and a layer that deletes by name, as Wine does, has the shortest window).
// Systems before it take the plain disposition.
bool MarkForDeletion(HANDLE entry) {
  native::DispositionRecordEx now{native::kDispositionDelete | native::kDispositionPosixSemantics};
  if (SetFileInformationByHandle(
          entry, static_cast<FILE_INFO_BY_HANDLE_CLASS>(native::kFileDispositionInfoEx), &now,
          sizeof now))
    return true;
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof disposition) !=
         FALSE;
}

// Renames the open entry to name in folder; replaces a file there only with
// replace. Through the native call: FILE_RENAME_INFORMATION with a root
// folder is the native form, which not every Win32 layer passes on.
bool RenameInto(HANDLE entry, HANDLE folder, const std::wstring& name, bool replace) {
  const std::size_t nameBytes = name.size() * sizeof(wchar_t);
  if (nameBytes > native::kMaxCountedNameBytes) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  std::vector<unsigned char> buffer(sizeof(native::RenameRecord) + nameBytes);
  auto* info = reinterpret_cast<native::RenameRecord*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = folder;
  info->FileNameLength = static_cast<ULONG>(nameBytes);
  std::copy(name.begin(), name.end(), info->FileName);
  native::IoStatus status{};
  const native::Status result = native::SetFileInformation(
      entry, &status, info, static_cast<ULONG>(buffer.size()), native::kFileRenameInformation);
  if (result >= 0) return true;
  SetLastError(native::StatusToError(result));
  return false;
}

bool CopyContent(HANDLE in, HANDLE out) {
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
      return false;
    if (got == 0) return true;
    if (!WriteAll(out, std::string_view(buffer.data(), got))) return false;
  }
}

// A new temporary file beside name in folder, created exclusively, that can
// be renamed and deleted by its handle.
FileHandle CreateTemporary(HANDLE folder, const std::wstring& name, SystemError& error) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    FileHandle file = OpenRelative(folder, os::TemporaryNameFor(name),
                                   GENERIC_WRITE | DELETE | WRITE_DAC | WRITE_OWNER | READ_CONTROL,
                                   0, native::kFileCreate, native::kFileNonDirectoryFile, error);
    if (file.IsValid() || error.Code != ERROR_FILE_EXISTS) return file;
  }
  return FileHandle();
}

// The new file takes the replaced one's owner and access list where this
// process may set them, so that a file of another user stays theirs.
void TakeSecurityOf(HANDLE old, HANDLE file) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(old, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return;
  SetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
  SetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr, nullptr,
                  nullptr);
  LocalFree(descriptor);
}

// Removes the leftovers of earlier saves of name in folder that were killed
// before their rename.
void RemoveLeftoverTemporaries(HANDLE folder, const std::wstring& name) {
  std::vector<unsigned char> buffer(64 * 1024);
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  while (GetFileInformationByHandleEx(folder, kind, buffer.data(),
                                      static_cast<DWORD>(buffer.size()))) {
    kind = FileIdBothDirectoryInfo;
    for (std::size_t at = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
      const std::wstring entryName(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      SystemError ignored;
      if (os::IsLeftoverTemporaryOf(entryName, name)) {
        const FileHandle leftover = OpenEntry(folder, entryName, DELETE, ignored);
        if (leftover.IsValid()) MarkForDeletion(leftover.Get());
      }
      if (entry->NextEntryOffset == 0) break;
      at += entry->NextEntryOffset;
    }
  }
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

// Whether the open entry really lies below the folder whose real path is
// given: its own handle says where it is, whatever names led to it (a
// layer that follows a link on the way, as Wine does for the host's links,
// is caught here).
bool LiesBelow(HANDLE entry, const std::wstring& folderReal) {
  const std::wstring real = FinalPathOf(entry);
  const std::wstring prefix = folderReal + L"\\";
  return real.size() > prefix.size() && real.compare(0, prefix.size(), prefix) == 0;
}

// Opens the entry at relative below the held folder with open(folder, leaf,
// error), and keeps it only when its own handle lies below the folder's real
// path. Invalid (error set) otherwise.
template <typename Open>
FileHandle OpenEntryBelow(HANDLE held, const std::wstring& real, const std::wstring& relative,
                          Open open, SystemError& error) {
  std::wstring leaf;
  const FileHandle folder = ParentOf(held, relative, leaf, error);
  if (!folder.IsValid()) return FileHandle();
  FileHandle entry = open(folder.Get(), leaf, error);
  if (!entry.IsValid()) return FileHandle();
  if (LiesBelow(entry.Get(), real)) return entry;
  error = LinkOnTheWay();
  return FileHandle();
}

}  // namespace

SystemError LinkOnTheWay() { return ErrorOf(ERROR_CANT_RESOLVE_FILENAME); }

HeldFolder::HeldFolder() = default;
HeldFolder::~HeldFolder() = default;
HeldFolder::HeldFolder(HeldFolder&&) noexcept = default;
HeldFolder& HeldFolder::operator=(HeldFolder&&) noexcept = default;

HeldFolder HeldFolder::Open(const std::wstring& path) {
  HeldFolder held;
  if (!os::IsUsablePath(path)) {
    held.openError_ = ErrorOf(ERROR_INVALID_NAME);
    return held;
  }
  FileHandle folder(CreateFileW(
      path.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      kSharePinned, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!folder.IsValid()) {
    held.openError_ = LastError();
    return held;
  }
  const auto info = AttributesOf(folder.Get());
  // The real path comes from the handle itself: no name is looked up again.
  const std::wstring real = FinalPathOf(folder.Get());
  if (!info || IsReparsePoint(*info) || !IsFolder(*info) || real.empty()) {
    held.openError_ =
        !info ? LastError() : (IsReparsePoint(*info) ? LinkOnTheWay() : ErrorOf(ERROR_DIRECTORY));
    return held;
  }
  held.handle_ = std::make_unique<Handle>(Handle{std::move(folder)});
  held.realPath_ = real.size() > 3 && real.back() == L'\\' ? real.substr(0, real.size() - 1) : real;
  return held;
}

FileKind HeldFolder::KindOf(const std::wstring& relative) const {
  if (!IsHeld()) return FileKind::kMissing;
  SystemError error;
  std::wstring leaf;
  const FileHandle folder = ParentOf(handle_->Folder.Get(), relative, leaf, error);
  if (!folder.IsValid()) return FileKind::kMissing;
  const FileHandle entry = OpenEntry(folder.Get(), leaf, 0, error);
  if (!entry.IsValid()) return FileKind::kMissing;
  if (GetFileType(entry.Get()) != FILE_TYPE_DISK) return FileKind::kOther;
  const auto info = AttributesOf(entry.Get());
  if (!info) return FileKind::kMissing;
  if (IsReparsePoint(*info) && (info->ReparseTag == IO_REPARSE_TAG_SYMLINK ||
                                info->ReparseTag == IO_REPARSE_TAG_MOUNT_POINT))
    return FileKind::kLink;
  if (IsFolder(*info)) return FileKind::kFolder;
  if ((info->FileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) return FileKind::kOther;
  return FileKind::kRegularFile;
}

SystemError HeldFolder::Delete(const std::wstring& relative) const {
  if (!IsHeld()) return ErrorOf(ERROR_INVALID_HANDLE);
  SystemError error;
  const FileHandle entry = OpenEntryBelow(
      handle_->Folder.Get(), realPath_, relative,
      [](HANDLE folder, const std::wstring& leaf, SystemError& failure) {
        return OpenEntry(folder, leaf, DELETE, failure);
      },
      error);
  if (!entry.IsValid()) return error;
  const auto info = AttributesOf(entry.Get());
  if (!info) return LastError();
  // A folder is never deleted; a junction or link goes as itself.
  if (IsFolder(*info) && !IsReparsePoint(*info)) return ErrorOf(ERROR_DIRECTORY);
  return MarkForDeletion(entry.Get()) ? SystemError{} : LastError();
}

SystemError HeldFolder::MoveTo(const std::wstring& relative, const HeldFolder& destination,
                               const std::wstring& name) const {
  if (!IsHeld() || !destination.IsHeld()) return ErrorOf(ERROR_INVALID_HANDLE);
  if (!IsPlainFileName(name)) return ErrorOf(ERROR_INVALID_NAME);
  SystemError error;
  const FileHandle source = OpenEntryBelow(
      handle_->Folder.Get(), realPath_, relative,
      [](HANDLE folder, const std::wstring& leaf, SystemError& failure) {
        return OpenRegularFile(folder, leaf, GENERIC_READ | DELETE, failure);
      },
      error);
  if (!source.IsValid()) return error;
  const HANDLE target = destination.handle_->Folder.Get();
  if (RenameInto(source.Get(), target, name, false)) return {};
  if (GetLastError() != ERROR_NOT_SAME_DEVICE) return LastError();
  // Another volume: a flushed copy under a temporary name, renamed into
  // place without replacing, then the original deleted (or the copy again).
  const FileHandle copy = CreateTemporary(target, name, error);
  if (!copy.IsValid()) return error;
  if (!CopyContent(source.Get(), copy.Get()) || !FlushFileBuffers(copy.Get()) ||
      !RenameInto(copy.Get(), target, name, false)) {
    error = LastError();
    MarkForDeletion(copy.Get());
    return error;
  }
  if (MarkForDeletion(source.Get())) return {};
  error = LastError();
  MarkForDeletion(copy.Get());
  return error;
}

SystemError HeldFolder::ReadWhole(const std::wstring& relative, std::string& bytes,
                                  std::size_t max_bytes) const {
  bytes.clear();
  if (!IsHeld()) return ErrorOf(ERROR_INVALID_HANDLE);
  SystemError error;
  const FileHandle file = OpenEntryBelow(
      handle_->Folder.Get(), realPath_, relative,
      [](HANDLE folder, const std::wstring& leaf, SystemError& failure) {
        return OpenRegularFile(folder, leaf, GENERIC_READ, failure);
      },
      error);
  if (!file.IsValid()) return error;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) return LastError();
  if (static_cast<unsigned long long>(size.QuadPart) > max_bytes)
    return ErrorOf(ERROR_FILE_TOO_LARGE);
  // One allocation for a file that does not grow meanwhile; a size the
  // memory cannot hold is the read's failure, not an exception.
  try {
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  } catch (const std::bad_alloc&) {
    return ErrorOf(ERROR_NOT_ENOUGH_MEMORY);
  }
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      bytes.clear();
      return LastError();
    }
    if (got == 0) return {};
    if (bytes.size() + got > max_bytes) {
      bytes.clear();
      return ErrorOf(ERROR_FILE_TOO_LARGE);
    }
    bytes.append(buffer.data(), got);
  }
}

SystemError HeldFolder::WriteAtomically(const std::wstring& name, std::string_view bytes,
                                        ExistingFile existing) const {
  if (!IsHeld()) return ErrorOf(ERROR_INVALID_HANDLE);
  if (!IsPlainFileName(name)) return ErrorOf(ERROR_INVALID_NAME);
  const HANDLE held = handle_->Folder.Get();
  SystemError error;
  FileHandle old = OpenEntry(held, name, READ_CONTROL, error);
  if (old.IsValid()) {
    if (existing == ExistingFile::kKeep) return ErrorOf(ERROR_FILE_EXISTS);
    const auto info = AttributesOf(old.Get());
    if (!info) return LastError();
    if (IsFolder(*info)) return ErrorOf(ERROR_DIRECTORY);
    if (IsReparsePoint(*info)) return LinkOnTheWay();
  }
  RemoveLeftoverTemporaries(held, name);
  const FileHandle file = CreateTemporary(held, name, error);
  if (!file.IsValid()) return error;
  if (old.IsValid()) TakeSecurityOf(old.Get(), file.Get());
  old.Reset();  // an open handle would stand in the way of the replacing rename
  if (WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get()) &&
      RenameInto(file.Get(), held, name, existing == ExistingFile::kReplace))
    return {};
  error = LastError();
  MarkForDeletion(file.Get());
  return error;
}

}  // namespace kalinor::platform
