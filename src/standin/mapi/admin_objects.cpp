// Tables are snapshots of the store file at the time they are asked for; each
// change reads the file under its lock (unless it is unchanged since this
// process last read or wrote it), applies itself and writes the file back,
// so the objects hold no profile data of their own.
#include "standin/mapi/admin_objects.h"

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/xml_names.h"
#include "standin/mapi/com_support.h"
#include "standin/mapi/service_catalogue.h"
#include "standin/mapi/snapshot_table.h"
#include "standin/mapi/unsupported_methods.h"

namespace kalinor::mapi_standin {
namespace {

MAPIUID RandomMapiUid(std::random_device& random) {
  MAPIUID uid{};
  for (size_t i = 0; i < sizeof(uid.ab); i += 4) {
    const auto bits = static_cast<std::uint32_t>(random());
    for (size_t k = 0; k < 4; ++k) uid.ab[i + k] = static_cast<BYTE>(bits >> (8 * k));
  }
  return uid;
}

MAPIUID NewUniqueUid(const ProfileStore& store) {
  std::random_device random;
  MAPIUID uid = RandomMapiUid(random);
  while (StoreHasUid(store, uid)) uid = RandomMapiUid(random);
  return uid;
}

std::string UidBytes(const MAPIUID& uid) {
  return std::string(reinterpret_cast<const char*>(uid.ab), sizeof(uid.ab));
}

TableRow ServiceRow(const StoredService& service) {
  TableRow row;
  row.push_back(BytesValue(PR_SERVICE_UID, UidBytes(service.uid)));
  if (service.name)
    row.push_back(BytesValue(PR_SERVICE_NAME_A, platform::ToAnsiCodePage(*service.name)));
  if (service.display_name)
    row.push_back(BytesValue(PR_DISPLAY_NAME_A, platform::ToAnsiCodePage(*service.display_name)));
  return row;
}

TableRow ProfileRow(const StoredProfile& profile) {
  TableRow row;
  if (profile.name)
    row.push_back(BytesValue(PR_DISPLAY_NAME_A, platform::ToAnsiCodePage(*profile.name)));
  row.push_back(BooleanValue(PR_DEFAULT_PROFILE, profile.is_default));
  return row;
}

// The display name a new service gets: the catalogue's when it gives one,
// else the caller's, else the service name.
std::wstring ChosenDisplayName(const std::optional<std::wstring>& catalogued, const void* given,
                               ULONG flags, const std::wstring& service_name) {
  if (catalogued && !catalogued->empty()) return *catalogued;
  if (given != nullptr) return TextArgument(given, flags);
  return service_name;
}

// A table request answered from the store file as it is now: rowsOf fills
// the rows from the store, or fails with its HRESULT (and no table is made).
template <typename RowsOf>
HRESULT SnapshotOfStore(const std::wstring& storePath, LPMAPITABLE* table, RowsOf rowsOf) {
  if (table == nullptr) return MAPI_E_INVALID_PARAMETER;
  *table = nullptr;
  return Guarded([&] {
    ProfileStore store;
    HRESULT hr = ReadProfileStoreFile(storePath, store);
    std::vector<TableRow> rows;
    if (hr == S_OK) hr = rowsOf(store, rows);
    if (hr == S_OK) *table = NewSnapshotTable(std::move(rows));
    return hr;
  });
}

class MsgServiceAdmin final : public UnsupportedServiceAdminMethods<RefCounted<IMsgServiceAdmin>> {
 public:
  MsgServiceAdmin(StandinFiles files, std::wstring profile_name)
      : UnsupportedServiceAdminMethods(kIidIMsgServiceAdmin),
        m_files(std::move(files)),
        m_profile_name(std::move(profile_name)) {}

  HRESULT KALINOR_MAPI_CALL GetMsgServiceTable(ULONG, LPMAPITABLE* lppTable) override {
    const auto serviceRows = [&](ProfileStore& store, std::vector<TableRow>& rows) {
      const StoredProfile* profile = FindProfile(store, m_profile_name);
      if (profile == nullptr) return MAPI_E_NOT_FOUND;
      for (const StoredService& service : profile->services) rows.push_back(ServiceRow(service));
      return S_OK;
    };
    return SnapshotOfStore(m_files.profile_store, lppTable, serviceRows);
  }

  HRESULT KALINOR_MAPI_CALL CreateMsgService(LPTSTR lpszService, LPTSTR lpszDisplayName, ULONG_PTR,
                                             ULONG ulFlags) override {
    if (lpszService == nullptr) return MAPI_E_INVALID_PARAMETER;
    return Guarded([&] {
      const std::wstring name = TextArgument(lpszService, ulFlags);
      if (name.empty()) return MAPI_E_INVALID_PARAMETER;
      ServiceCatalogue catalogue;
      const HRESULT hr = ReadServiceCatalogue(m_files.service_catalogue, catalogue);
      if (hr != S_OK) return hr;
      const std::optional<std::wstring> catalogued =
          platform::ListedServiceDisplayName(catalogue.services, name);
      if (catalogue.present && !catalogued) return MAPI_E_NOT_FOUND;
      StoredService service;
      service.name = name;
      service.display_name = ChosenDisplayName(catalogued, lpszDisplayName, ulFlags, name);
      // Written into the store as is, either name would leave a file that
      // no XML reader accepts (such as an undecodable byte kept as U+DC80 + byte).
      if (!platform::IsXmlText(*service.name) || !platform::IsXmlText(*service.display_name))
        return MAPI_E_INVALID_PARAMETER;
      return ChangeProfile([&](ProfileStore& store, StoredProfile& profile) {
        service.uid = NewUniqueUid(store);
        profile.services.push_back(service);
        return S_OK;
      });
    });
  }

  HRESULT KALINOR_MAPI_CALL DeleteMsgService(LPMAPIUID lpUID) override {
    if (lpUID == nullptr) return MAPI_E_INVALID_PARAMETER;
    const MAPIUID uid = *lpUID;
    return Guarded([&] {
      return ChangeProfile([&](ProfileStore&, StoredProfile& profile) {
        StoredService* service = FindServiceByUid(profile, uid);
        if (service == nullptr) return MAPI_E_NOT_FOUND;
        RemoveService(profile, *service);
        return S_OK;
      });
    });
  }

  // Configuration without user interface has nothing to ask: it only marks
  // the service configured. The property values are not kept.
  HRESULT KALINOR_MAPI_CALL ConfigureMsgService(LPMAPIUID lpUID, ULONG_PTR, ULONG, ULONG cValues,
                                                LPSPropValue lpProps) override {
    if (lpUID == nullptr || (cValues != 0 && lpProps == nullptr)) return MAPI_E_INVALID_PARAMETER;
    const MAPIUID uid = *lpUID;
    return Guarded([&] {
      return ChangeProfile([&](ProfileStore&, StoredProfile& profile) {
        StoredService* service = FindServiceByUid(profile, uid);
        if (service == nullptr) return MAPI_E_NOT_FOUND;
        service->configured = true;
        return S_OK;
      });
    });
  }

 private:
  // Applies change to this object's profile under the store's lock;
  // MAPI_E_NOT_FOUND when the profile is gone.
  template <class Change>
  HRESULT ChangeProfile(Change&& change) {
    return UpdateProfileStoreFile(m_files.profile_store, [&](ProfileStore& store) {
      StoredProfile* profile = FindProfile(store, m_profile_name);
      if (profile == nullptr) return MAPI_E_NOT_FOUND;
      return change(store, *profile);
    });
  }

  const StandinFiles m_files;
  const std::wstring m_profile_name;
};

class ProfAdmin final : public UnsupportedProfAdminMethods<RefCounted<IProfAdmin>> {
 public:
  explicit ProfAdmin(StandinFiles files)
      : UnsupportedProfAdminMethods(kIidIProfAdmin), m_files(std::move(files)) {}

  HRESULT KALINOR_MAPI_CALL GetProfileTable(ULONG, LPMAPITABLE* lppTable) override {
    const auto profileRows = [](ProfileStore& store, std::vector<TableRow>& rows) {
      for (const StoredProfile& profile : store.profiles) rows.push_back(ProfileRow(profile));
      return S_OK;
    };
    return SnapshotOfStore(m_files.profile_store, lppTable, profileRows);
  }

  // The password and the UI parameter are not used: the store keeps no
  // passwords and the stand-in shows no interface.
  HRESULT KALINOR_MAPI_CALL AdminServices(LPTSTR lpszProfileName, LPTSTR, ULONG_PTR, ULONG ulFlags,
                                          LPSERVICEADMIN* lppServiceAdmin) override {
    if (lppServiceAdmin == nullptr) return MAPI_E_INVALID_PARAMETER;
    *lppServiceAdmin = nullptr;
    if (lpszProfileName == nullptr) return MAPI_E_INVALID_PARAMETER;
    return Guarded([&] {
      const std::wstring name = TextArgument(lpszProfileName, ulFlags);
      ProfileStore store;
      const HRESULT hr = ReadProfileStoreFile(m_files.profile_store, store);
      if (hr != S_OK) return hr;
      if (FindProfile(store, name) == nullptr) return MAPI_E_NOT_FOUND;
      *lppServiceAdmin = new MsgServiceAdmin(m_files, name);
      return S_OK;
    });
  }

 private:
  const StandinFiles m_files;
};

}  // namespace

IProfAdmin* NewProfAdmin(const StandinFiles& files) { return new ProfAdmin(files); }

}  // namespace kalinor::mapi_standin
