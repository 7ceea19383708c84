#include "standin/mapi/store_file.h"

#include <mutex>
#include <optional>
#include <set>

#include "platform/console.h"
#include "platform/environment.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/mapi.h"
#include "platform/text.h"

namespace kalinor::mapi_standin {
namespace {

// Windows has neither XDG_CONFIG_HOME nor (as a rule) HOME: there the user's
// roaming application-data folder, %APPDATA%, holds the files.
std::wstring ConfigFolder() {
  std::wstring folder = platform::XdgBaseFolder(L"XDG_CONFIG_HOME", L".config");
  if (!folder.empty()) return folder;
  return platform::GetEnvironmentVariableText(L"APPDATA");
}

std::wstring LocateFile(const wchar_t* variable, const wchar_t* file_name) {
  std::wstring path = platform::GetEnvironmentVariableText(variable);
  if (!path.empty()) return path;
  const std::wstring config = ConfigFolder();
  if (config.empty()) return std::wstring();
  return config + platform::kPathSeparator + L"kalinor" + platform::kPathSeparator + file_name;
}

std::wstring LockFilePath(const std::wstring& store_path) { return store_path + L".lock"; }

// A refused lock file (a planted link, another account's file) is named on
// standard error once per file and process, not at every access.
void ReportRefusedLock(const std::wstring& lock_path, const std::wstring& refusal) {
  static std::mutex mutex;
  static std::set<std::wstring> reported;
  const std::lock_guard<std::mutex> guard(mutex);
  if (!reported.insert(lock_path).second) return;
  platform::WriteStandardError(L"Profile store lock not opened (" + refusal + L"): " +
                               platform::EscapeLineText(lock_path) + L"\n");
}

// A profile keeps about 150 bytes per service; 16 MiB is some 100,000
// services, more than any profile holds. A larger file is no profile store.
constexpr std::size_t kLargestProfileStore = 16 * 1024 * 1024;

// The store as this process last read or wrote it, and the stamp the file
// had then: a run reads the file once, not once per call, unless another
// process changes it meanwhile (its rename gives the file a new stamp).
class StoreCache {
 public:
  bool Find(const std::wstring& path, const platform::FileStamp& stamp, ProfileStore& store) {
    const std::lock_guard<std::mutex> guard(m_mutex);
    if (!m_stamp || path != m_path || stamp != *m_stamp) return false;
    store = m_store;
    return true;
  }

  void Remember(const std::wstring& path, const std::optional<platform::FileStamp>& stamp,
                const ProfileStore& store) {
    const std::lock_guard<std::mutex> guard(m_mutex);
    m_path = path;
    m_stamp = stamp;
    m_store = store;
  }

 private:
  std::mutex m_mutex;
  std::wstring m_path;
  std::optional<platform::FileStamp> m_stamp;
  ProfileStore m_store;
};

StoreCache& Cache() {
  static StoreCache cache;
  return cache;
}

// Reads the store while the caller holds the lock (or knows no writer exists).
HRESULT ReadStoreUnlocked(const std::wstring& path, ProfileStore& store) {
  if (!platform::PathExists(path)) {
    store = EmbeddedDefaultStore();
    return S_OK;
  }
  // The stamp is taken before the read: a change in between makes it stale,
  // which costs one more read later, never a stale store.
  const std::optional<platform::FileStamp> stamp = platform::QueryFileStamp(path);
  if (stamp && Cache().Find(path, *stamp, store)) return S_OK;
  std::string text;
  if (platform::ReadWholeFile(path, text, kLargestProfileStore).Failed() ||
      !ParseProfileStore(text, store))
    return MAPI_E_CALL_FAILED;
  Cache().Remember(path, stamp, store);
  return S_OK;
}

}  // namespace

StandinFiles LocateStandinFiles() {
  StandinFiles files;
  files.profile_store = LocateFile(L"KALINOR_MAPI_PROFILES", L"profiles.xml");
  files.service_catalogue = LocateFile(L"KALINOR_MAPISVC", L"mapisvc.inf");
  return files;
}

HRESULT ReadProfileStoreFile(const std::wstring& path, ProfileStore& store,
                             std::chrono::milliseconds lock_wait) {
  if (path.empty()) return MAPI_E_CALL_FAILED;
  const std::wstring folder = platform::ParentFolder(path);
  // No folder means no file and no writer: nothing to lock, and a read
  // must not leave folders behind.
  if (!folder.empty() && !platform::PathExists(folder)) {
    store = EmbeddedDefaultStore();
    return S_OK;
  }
  // A reader creates nothing: without a lock file (or with a refused one) it
  // reads unlocked, which is safe because writes replace the file in one
  // step, so a reader never sees half of one.
  const std::wstring lock_path = LockFilePath(path);
  const platform::ExclusiveFileLock lock(lock_path, lock_wait,
                                         platform::LockFileUse::kExistingOnly);
  if (lock.TimedOut()) return MAPI_E_TIMEOUT;
  if (!lock.Refusal().empty()) ReportRefusedLock(lock_path, lock.Refusal());
  return ReadStoreUnlocked(path, store);
}

HRESULT UpdateProfileStoreFile(const std::wstring& path, const StoreChange& change,
                               std::chrono::milliseconds lock_wait) {
  if (path.empty() || platform::CreateFolderWithParents(platform::ParentFolder(path)).Failed())
    return MAPI_E_CALL_FAILED;
  const std::wstring lock_path = LockFilePath(path);
  const platform::ExclusiveFileLock lock(lock_path, lock_wait);
  if (lock.TimedOut()) return MAPI_E_TIMEOUT;
  if (!lock.IsLocked()) {
    if (!lock.Refusal().empty()) ReportRefusedLock(lock_path, lock.Refusal());
    return MAPI_E_CALL_FAILED;
  }
  ProfileStore store;
  HRESULT hr = ReadStoreUnlocked(path, store);
  if (hr != S_OK) return hr;
  hr = change(store);
  if (hr != S_OK) return hr;
  if (platform::WriteFileAtomically(path, SerializeProfileStore(store)).Failed())
    return MAPI_E_CALL_FAILED;
  Cache().Remember(path, platform::QueryFileStamp(path), store);
  return S_OK;
}

}  // namespace kalinor::mapi_standin
