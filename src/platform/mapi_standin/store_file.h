// Where the profile store and the catalogue live, and the store file's
// reads and read-modify-writes. Every access holds the exclusive lock on the
// lock file beside the store ("profiles.xml.lock"), and every write replaces
// the file atomically, so two processes at once lose nothing.
#pragma once

#include <functional>
#include <string>

#include "platform/hresult.h"
#include "platform/mapi_standin/profile_store.h"

namespace kalinor::platform::mapi_standin {

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

/// Reads the store at path. A missing file gives the embedded default.
/// MAPI_E_CALL_FAILED when path is "", or the file cannot be read or is
/// malformed.
HRESULT ReadProfileStoreFile(const std::wstring& path, ProfileStore& store);

/// A change to the store; its result other than S_OK cancels the write.
using StoreChange = std::function<HRESULT(ProfileStore&)>;

/// Under the lock: reads the store (the embedded default when missing),
/// applies change and, when it returns S_OK, writes the store back
/// atomically, creating the missing folders first. Returns the change's
/// failure, or MAPI_E_CALL_FAILED when the store cannot be located, locked,
/// read, parsed or written (the file is then left as it was).
HRESULT UpdateProfileStoreFile(const std::wstring& path, const StoreChange& change);

}  // namespace kalinor::platform::mapi_standin
