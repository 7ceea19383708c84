// The held folder's algorithms, written once over the OS steps of
// held_folder_os.h: every entry is reached from the held folder one plain
// name at a time without following a link, kept only where its own handle
// says it lies below the folder, and acted on through that handle or the
// folder that holds it; a file is written whole to a temporary name beside
// it, flushed, then renamed into place.
#include "platform/held_folder.h"

#include "platform/files_os.h"
#include "platform/held_folder_os.h"
#include "platform/text.h"

namespace kalinor::platform {

struct HeldFolder::Handle {
  NativeFile Folder;
};

namespace {

// A taken temporary name is replaced by a new one this many times at most.
constexpr int kTemporaryNameAttempts = 100;

// The folder that holds an entry (the held folder itself, borrowed, or one
// below it, opened on the way and owned) and the entry's last name.
struct Located {
  NativeFile Owned;
  os::Native Folder = NativeFileTraits::Invalid();
  std::wstring Leaf;
};

// An entry below the held folder, opened for a use, and what it is.
struct Opened {
  Located At;
  NativeFile Entry;
  os::EntryFacts Facts;
};

// Walks from held to the folder that holds the last name of relative.
SystemError Locate(os::Native held, const std::wstring& relative, Located& at) {
  const auto names = os::RelativeNames(relative);
  if (!names) return UnusablePathError();
  at.Folder = held;
  for (std::size_t i = 0; i + 1 < names->size(); ++i) {
    NativeFile next;
    if (const SystemError error = os::OpenSubfolder(at.Folder, (*names)[i], next); error.Failed())
      return error;
    at.Owned = std::move(next);
    at.Folder = at.Owned.Get();
  }
  at.Leaf = names->back();
  return {};
}

// Opens the entry at relative below held for use, and keeps it only when its
// own handle lies below the held folder's real path.
SystemError OpenBelow(os::Native held, const std::wstring& real, const std::wstring& relative,
                      os::EntryUse use, Opened& opened) {
  if (const SystemError error = Locate(held, relative, opened.At); error.Failed()) return error;
  if (const SystemError error =
          os::OpenEntryIn(opened.At.Folder, opened.At.Leaf, use, opened.Entry);
      error.Failed())
    return error;
  if (!os::LiesBelow(opened.Entry.Get(), real)) return ErrorOfKind(ErrorKind::kIsLink);
  return os::FactsOf(opened.Entry.Get(), opened.Facts);
}

// The failure for an entry that is not the regular file an act wants.
SystemError NotARegularFile(const os::EntryFacts& facts) {
  if (facts.Kind == FileKind::kFolder) return ErrorOfKind(ErrorKind::kIsFolder);
  if (facts.Kind == FileKind::kLink) return ErrorOfKind(ErrorKind::kIsLink);
  return facts.Kind == FileKind::kRegularFile ? SystemError{} : ErrorOfKind(ErrorKind::kOther);
}

// A new temporary file beside name in folder, created exclusively under an
// unpredictable name that goes to temporary; a taken name is replaced.
SystemError CreateTemporary(os::Native folder, const std::wstring& name, std::wstring& temporary,
                            NativeFile& file) {
  SystemError error;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    temporary = os::TemporaryNameFor(name);
    error = os::CreateNewFile(folder, temporary, file);
    if (error.Kind() != ErrorKind::kExists) break;
  }
  return error.At(L"creating the temporary file");
}

// Removes the leftovers of earlier saves of name in folder that were killed
// before their rename. Best effort: one that stays goes at the next save.
void RemoveLeftoverTemporaries(os::Native folder, const std::wstring& name) {
  for (const std::wstring& entry : os::NamesIn(folder)) {
    NativeFile leftover;
    if (os::IsLeftoverTemporaryOf(entry, name) &&
        !os::OpenEntryIn(folder, entry, os::EntryUse::kDelete, leftover).Failed() &&
        !os::UserCould(folder, leftover.Get(), os::UserAct::kDelete).Failed())
      (void)os::DeleteEntry(folder, entry, leftover.Get());
  }
}

// Fills the new file with fill(file), flushes it and renames it to name in
// folder; the temporary file is removed again on failure.
template <typename Fill>
SystemError PlaceFile(os::Native folder, const std::wstring& temporary, const NativeFile& file,
                      Fill fill, const std::wstring& name, bool replace) {
  SystemError error = fill(file.Get());
  if (!error.Failed()) error = os::Flush(file.Get()).At(L"flushing the temporary file");
  if (!error.Failed())
    error = os::RenameEntry(folder, temporary, file.Get(), folder, name, replace)
                .At(replace ? L"renaming over the old file" : L"renaming into place");
  if (!error.Failed()) {
    os::SyncFolder(folder);
    return {};
  }
  (void)os::DeleteEntry(folder, temporary, file.Get());
  return error;
}

// "*.log", in any letter case, with something before the extension.
bool IsLogFileName(const std::wstring& name) {
  constexpr std::size_t kExtension = 4;  // ".log"
  return name.size() > kExtension && AsciiLower(name.substr(name.size() - kExtension)) == L".log";
}

}  // namespace

SystemError LinkOnTheWay() { return ErrorOfKind(ErrorKind::kIsLink); }

HeldFolder::HeldFolder() = default;
HeldFolder::~HeldFolder() = default;
HeldFolder::HeldFolder(HeldFolder&&) noexcept = default;
HeldFolder& HeldFolder::operator=(HeldFolder&&) noexcept = default;

HeldFolder HeldFolder::Open(const std::wstring& path) {
  HeldFolder held;
  if (!os::IsUsablePath(path)) {
    held.openError_ = UnusablePathError();
    return held;
  }
  NativeFile folder;
  std::wstring real;
  held.openError_ = os::OpenHeldRoot(path, folder, real, held.refusedLink_);
  if (held.openError_.Failed()) return held;
  held.handle_ = std::make_unique<Handle>(Handle{std::move(folder)});
  held.realPath_ = std::move(real);
  return held;
}

HeldFolder HeldFolder::OpenFolder(const std::wstring& name) const {
  return HoldBelow(name, std::nullopt);
}

HeldFolder HeldFolder::CreateFolder(const std::wstring& name, FolderAccess access) const {
  return HoldBelow(name, access);
}

HeldFolder HeldFolder::HoldBelow(const std::wstring& name,
                                 std::optional<FolderAccess> create) const {
  HeldFolder below;
  const auto names = os::RelativeNames(name);
  if (!IsHeld() || !names || names->size() != 1) {
    below.openError_ = IsHeld() ? UnusablePathError() : NotOpenError();
    return below;
  }
  NativeFile opened;
  const os::Native folder = handle_->Folder.Get();
  if (create)
    below.openError_ =
        os::UserCould(folder, NativeFileTraits::Invalid(), os::UserAct::kCreateFolder);
  if (!below.openError_.Failed())
    below.openError_ =
        create ? os::CreateFolderIn(folder, name, *create == FolderAccess::kOwnerOnly, opened)
               : os::OpenSubfolder(folder, name, opened);
  if (below.openError_.Failed()) return below;
  below.handle_ = std::make_unique<Handle>(Handle{std::move(opened)});
  below.realPath_ = realPath_.empty() || realPath_.back() != kPathSeparator
                        ? realPath_ + kPathSeparator + name
                        : realPath_ + name;
  return below;
}

CheckedFile HeldFolder::OpenChecked(const std::wstring& name, CheckedFileUse use) const {
  const auto names = os::RelativeNames(name);
  if (!IsHeld() || !names || names->size() != 1) {
    CheckedFile refused;
    refused.Refusal = IsHeld() ? L"not a usable path" : L"its folder cannot be opened";
    return refused;
  }
  // A privileged run appends only to a log by name: its lines end in text
  // others chose, which in a script or a list the system reads would be code.
  if (use == CheckedFileUse::kAppend && os::RunIsPrivileged() && !IsLogFileName(name)) {
    CheckedFile refused;
    refused.Refusal = L"not a .log file, which is all an elevated run appends to";
    return refused;
  }
  return os::OpenCheckedFileIn(handle_->Folder.Get(), name, use);
}

FileKind HeldFolder::KindOf(const std::wstring& relative) const {
  Opened entry;
  if (!IsHeld() ||
      OpenBelow(handle_->Folder.Get(), realPath_, relative, os::EntryUse::kLook, entry).Failed())
    return FileKind::kMissing;
  return entry.Facts.Kind;
}

SystemError HeldFolder::Delete(const std::wstring& relative) const {
  if (!IsHeld()) return NotOpenError();
  Opened entry;
  const SystemError error =
      OpenBelow(handle_->Folder.Get(), realPath_, relative, os::EntryUse::kDelete, entry);
  if (error.Failed()) return error;
  // A folder is never deleted; a link goes as itself.
  if (entry.Facts.Kind == FileKind::kFolder) return ErrorOfKind(ErrorKind::kIsFolder);
  if (const SystemError refused =
          os::UserCould(entry.At.Folder, entry.Entry.Get(), os::UserAct::kDelete);
      refused.Failed())
    return refused;
  return os::DeleteEntry(entry.At.Folder, entry.At.Leaf, entry.Entry.Get());
}

SystemError HeldFolder::MoveTo(const std::wstring& relative, const HeldFolder& destination,
                               const std::wstring& name) const {
  if (!IsHeld() || !destination.IsHeld()) return NotOpenError();
  if (!IsPlainFileName(name)) return UnusablePathError();
  Opened source;
  SystemError error =
      OpenBelow(handle_->Folder.Get(), realPath_, relative, os::EntryUse::kMove, source);
  if (!error.Failed()) error = NotARegularFile(source.Facts);
  const os::Native target = destination.handle_->Folder.Get();
  if (!error.Failed())
    error = os::UserCould(source.At.Folder, source.Entry.Get(), os::UserAct::kDelete);
  if (!error.Failed())
    error = os::UserCould(target, NativeFileTraits::Invalid(), os::UserAct::kCreateFile);
  if (error.Failed()) return error;
  error =
      os::RenameEntry(source.At.Folder, source.At.Leaf, source.Entry.Get(), target, name, false);
  if (!os::IsOtherFileSystem(error)) return error;
  // Another file system: a flushed copy under a temporary name, put in
  // place without replacing, then the original deleted (or the copy again).
  // The copy reads the file: the user must be able to.
  if (error = os::UserCould(source.At.Folder, source.Entry.Get(), os::UserAct::kRead);
      error.Failed())
    return error;
  std::wstring temporary;
  NativeFile copy;
  if (error = CreateTemporary(target, name, temporary, copy); error.Failed()) return error;
  os::TakeOwnerAndPermissions(source.Entry.Get(), copy.Get());
  const auto copyContent = [&](os::Native file) {
    return os::CopyContent(source.Entry.Get(), file).At(L"copying the file");
  };
  if (error = PlaceFile(target, temporary, copy, copyContent, name, false); error.Failed())
    return error;
  error = os::DeleteEntry(source.At.Folder, source.At.Leaf, source.Entry.Get());
  if (error.Failed()) (void)os::DeleteEntry(target, name, copy.Get());
  return error.At(L"deleting the moved file");
}

SystemError HeldFolder::ReadWhole(const std::wstring& relative, std::string& bytes,
                                  std::size_t max_bytes) const {
  bytes.clear();
  if (!IsHeld()) return NotOpenError();
  Opened file;
  SystemError error =
      OpenBelow(handle_->Folder.Get(), realPath_, relative, os::EntryUse::kRead, file);
  if (!error.Failed()) error = NotARegularFile(file.Facts);
  if (!error.Failed()) error = os::UserCould(file.At.Folder, file.Entry.Get(), os::UserAct::kRead);
  if (error.Failed()) return error;
  // A second name is one another account may have made for a file of its
  // own: what is read must be the folder's file only.
  if (file.Facts.Links != 1) return SeveralNamesError();
  if (file.Facts.Size > max_bytes) return ErrorOfKind(ErrorKind::kTooLarge);
  return os::ReadToEnd(file.Entry.Get(), file.Facts.Size, bytes, max_bytes);
}

SystemError HeldFolder::WriteAtomically(const std::wstring& name, std::string_view bytes,
                                        ExistingFile existing) const {
  if (!IsHeld()) return NotOpenError();
  if (!IsPlainFileName(name)) return UnusablePathError();
  const os::Native held = handle_->Folder.Get();
  Opened old;
  const SystemError looked = OpenBelow(held, realPath_, name, os::EntryUse::kLook, old);
  if (looked.Failed() && looked.Kind() != ErrorKind::kNotFound) return looked;
  if (!looked.Failed()) {
    if (existing == ExistingFile::kKeep) return ErrorOfKind(ErrorKind::kExists);
    if (const SystemError error = NotARegularFile(old.Facts); error.Failed()) return error;
    if (const SystemError refused = os::UserCould(held, old.Entry.Get(), os::UserAct::kReplace);
        refused.Failed())
      return refused;
  }
  if (const SystemError refused =
          os::UserCould(held, NativeFileTraits::Invalid(), os::UserAct::kCreateFile);
      refused.Failed())
    return refused;
  RemoveLeftoverTemporaries(held, name);
  std::wstring temporary;
  NativeFile file;
  if (const SystemError error = CreateTemporary(held, name, temporary, file); error.Failed())
    return error;
  if (old.Entry.IsValid()) os::TakeOwnerAndPermissions(old.Entry.Get(), file.Get());
  old.Entry.Reset();  // an open handle could stand in the way of the rename
  const auto writeBytes = [&](os::Native target) {
    return os::WriteAll(target, bytes).At(L"writing the temporary file");
  };
  return PlaceFile(held, temporary, file, writeBytes, name, existing == ExistingFile::kReplace);
}

}  // namespace kalinor::platform
