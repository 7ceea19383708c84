// Where the profile store and the catalogue live, and the store file's
// reads and read-modify-writes. Every change holds the exclusive lock on the
// lock file beside the store ("profiles.xml.lock"), and every write replaces
// the file atomically, so two processes at once lose nothing. A read takes
// the lock only when the lock file exists, and never creates it.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "platform/hresult.h"
#include "standin/mapi/profile_store.h"

namespace kalinor::mapi_standin {

/// The two files the stand-in reads, as the environment names them now.
struct StandinFiles {
  std::wstring profile_store;      // "" when no variable locates it
  std::wstring service_catalogue;  // "" when no variable locates it
};

/// $KALINOR_MAPI_PROFILES and $KALINOR_MAPISVC, else profiles.xml and
/// mapisvc.inf in the "kalinor" folder of $XDG_CONFIG_HOME ($HOME/.config
/// when that is unset or empty, %APPDATA% when HOME is too). "" when none
/// of these is set.
StandinFiles LocateStandinFiles();

/// How long a read or a change waits for another process's lock on the
/// store before it gives up with MAPI_E_TIMEOUT.
inline constexpr std::chrono::milliseconds kProfileStoreLockWait = std::chrono::seconds(30);

/// Reads the store at path. A missing file gives the embedded default. The
/// file is parsed once per version: while it is unchanged since this process
/// last read or wrote it, that copy is handed out. MAPI_E_TIMEOUT when the
/// lock stays taken for lock_wait; MAPI_E_CALL_FAILED when path is "", or
/// the file cannot be read (no regular file, over 16 MiB) or is malformed.
/// Creates no file: a missing lock file, or one refused (a link, another
/// account's; named once on standard error), means reading without the lock.
HRESULT ReadProfileStoreFile(const std::wstring& path, ProfileStore& store,
                             std::chrono::milliseconds lock_wait = kProfileStoreLockWait);

/// A change to the store; its result other than S_OK cancels the write.
using StoreChange = std::function<HRESULT(ProfileStore&)>;

/// Under the lock: reads the store (the embedded default when missing),
/// applies change and, when it returns S_OK, writes the store back
/// atomically, creating the missing folders first. Returns the change's
/// failure, MAPI_E_TIMEOUT when the lock stays taken for lock_wait, or
/// MAPI_E_CALL_FAILED when the store cannot be located, locked, read, parsed
/// or written, or the lock file is refused (named once on standard error).
/// On any failure the file is left as it was.
HRESULT UpdateProfileStoreFile(const std::wstring& path, const StoreChange& change,
                               std::chrono::milliseconds lock_wait = kProfileStoreLockWait);

}  // namespace kalinor::mapi_standin
