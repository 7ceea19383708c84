#include "support/fake_mapi.h"

#include <cstring>
#include <memory>
#include <sstream>

#include "platform/text.h"
#include "standin/mapi/unsupported_methods.h"

namespace kalinor::testing {
namespace {

using mapi_standin::UnsupportedProfAdminMethods;
using mapi_standin::UnsupportedServiceAdminMethods;
using mapi_standin::UnsupportedTableMethods;

std::string Hex(unsigned value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

template <class Interface>
class FakeObject : public Interface {
 public:
  FakeObject(FakeMapi& fake, const char* kind) : fake_(fake), kind_(kind) { fake_.ObjectCreated(); }
  virtual ~FakeObject() { fake_.ObjectDestroyed(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    if (ppv != nullptr) *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ++fake_.releases[kind_];
    fake_.calls.push_back(std::string("Release ") + kind_);
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  FakeMapi& fake_;

 private:
  const char* kind_;
  ULONG refs_ = 1;
};

class FakeTable : public UnsupportedTableMethods<FakeObject<IMAPITable>> {
 public:
  FakeTable(FakeMapi& fake, std::string suffix, std::vector<std::vector<SPropValue>> rows,
            std::vector<std::unique_ptr<std::string>> strings,
            std::vector<std::unique_ptr<MAPIUID>> uids)
      : UnsupportedTableMethods(fake, "IMAPITable"),
        suffix_(std::move(suffix)),
        rows_(std::move(rows)),
        strings_(std::move(strings)),
        uids_(std::move(uids)) {}

  HRESULT STDMETHODCALLTYPE GetRowCount(ULONG flags, ULONG* count) override {
    if (HRESULT hr = fake_.Enter("GetRowCount" + suffix_, Hex(flags)); hr != S_OK) return hr;
    *count = static_cast<ULONG>(rows_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryRows(LONG count, ULONG flags, LPSRowSet* rows) override {
    if (HRESULT hr = fake_.Enter("QueryRows" + suffix_, std::to_string(count) + "," + Hex(flags));
        hr != S_OK) {
      return hr;
    }
    std::vector<std::vector<SPropValue>> taken(
        rows_.begin(), rows_.begin() + std::min<size_t>(rows_.size(), count));
    *rows = fake_.NewRowSet(taken);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetColumns(LPSPropTagArray, ULONG) override {
    return fake_.Enter("SetColumns");
  }

 private:
  std::string suffix_;
  std::vector<std::vector<SPropValue>> rows_;
  // The texts and identifiers the rows point into live as long as the table;
  // row sets copy the values they hand out.
  std::vector<std::unique_ptr<std::string>> strings_;
  std::vector<std::unique_ptr<MAPIUID>> uids_;
};

SPropValue StringProp(ULONG tag, std::vector<std::unique_ptr<std::string>>& strings,
                      const std::string& text) {
  strings.push_back(std::make_unique<std::string>(text));
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.lpszA = strings.back()->data();
  return value;
}

class FakeServiceAdmin : public UnsupportedServiceAdminMethods<FakeObject<IMsgServiceAdmin>> {
 public:
  FakeServiceAdmin(FakeMapi& fake, std::string profile)
      : UnsupportedServiceAdminMethods(fake, "IMsgServiceAdmin"), profile_(std::move(profile)) {}

  HRESULT STDMETHODCALLTYPE GetMsgServiceTable(ULONG flags, LPMAPITABLE* table) override {
    if (HRESULT hr = fake_.Enter("GetMsgServiceTable", Hex(flags)); hr != S_OK) return hr;
    std::vector<std::vector<SPropValue>> rows;
    std::vector<std::unique_ptr<std::string>> strings;
    std::vector<std::unique_ptr<MAPIUID>> uids;
    for (const FakeService& service : Services()) {
      std::vector<SPropValue> row;
      if (service.hasUid) {
        uids.push_back(std::make_unique<MAPIUID>(service.uid));
        SPropValue uid{};
        uid.ulPropTag = PR_SERVICE_UID;
        uid.Value.bin.cb = sizeof(MAPIUID);
        uid.Value.bin.lpb = uids.back()->ab;
        row.push_back(uid);
      }
      row.push_back(StringProp(PR_SERVICE_NAME_A, strings, service.name));
      rows.push_back(row);
    }
    *table =
        new FakeTable(fake_, ":services", std::move(rows), std::move(strings), std::move(uids));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateMsgService(LPTSTR service, LPTSTR display, ULONG_PTR ui,
                                             ULONG flags) override {
    const std::string name = service ? service : "(null)";
    const std::string shown = display ? display : "(null)";
    const std::string args = name + "," + shown + "," + std::to_string(ui) + "," + Hex(flags);
    if (HRESULT hr = fake_.Enter("CreateMsgService", args); hr != S_OK) return hr;
    fake_.AddService(*fake_.Profile(profile_), name).displayName = shown;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeleteMsgService(LPMAPIUID uid) override {
    if (HRESULT hr = fake_.Enter("DeleteMsgService"); hr != S_OK) return hr;
    if (fake_.deleteKeepsServices) return S_OK;
    auto& services = Services();
    for (auto it = services.begin(); it != services.end(); ++it) {
      if (std::memcmp(it->uid.ab, uid->ab, sizeof uid->ab) == 0) {
        services.erase(it);
        return S_OK;
      }
    }
    return MAPI_E_NOT_FOUND;
  }
  HRESULT STDMETHODCALLTYPE ConfigureMsgService(LPMAPIUID uid, ULONG_PTR ui, ULONG flags,
                                                ULONG count, LPSPropValue props) override {
    const std::string args = std::to_string(ui) + "," + Hex(flags) + "," + std::to_string(count) +
                             "," + (props == nullptr ? "null" : "props");
    if (HRESULT hr = fake_.Enter("ConfigureMsgService", args); hr != S_OK) return hr;
    for (FakeService& service : Services()) {
      if (std::memcmp(service.uid.ab, uid->ab, sizeof uid->ab) == 0) service.configured = true;
    }
    return S_OK;
  }

 private:
  std::vector<FakeService>& Services() { return fake_.Profile(profile_)->services; }
  std::string profile_;
};

class FakeProfAdmin : public UnsupportedProfAdminMethods<FakeObject<IProfAdmin>> {
 public:
  explicit FakeProfAdmin(FakeMapi& fake) : UnsupportedProfAdminMethods(fake, "IProfAdmin") {}

  HRESULT STDMETHODCALLTYPE GetProfileTable(ULONG flags, LPMAPITABLE* table) override {
    if (HRESULT hr = fake_.Enter("GetProfileTable", Hex(flags)); hr != S_OK) return hr;
    std::vector<std::vector<SPropValue>> rows;
    std::vector<std::unique_ptr<std::string>> strings;
    for (const FakeProfile& profile : fake_.profiles) {
      std::vector<SPropValue> row;
      if (profile.hasName) row.push_back(StringProp(PR_DISPLAY_NAME_A, strings, profile.name));
      SPropValue flag{};
      flag.ulPropTag = PR_DEFAULT_PROFILE;
      flag.Value.b = profile.isDefault ? 1 : 0;
      row.push_back(flag);
      rows.push_back(row);
    }
    *table = new FakeTable(fake_, ":profiles", std::move(rows), std::move(strings), {});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE AdminServices(LPTSTR name, LPTSTR password, ULONG_PTR ui, ULONG flags,
                                          LPSERVICEADMIN* admin) override {
    // With MAPI_UNICODE the name is wide text.
    const std::wstring wide = name ? reinterpret_cast<const wchar_t*>(name) : L"(null)";
    const std::string profile = platform::ToAnsiCodePage(wide);
    const std::string args = profile + "," + (password ? "password" : "null") + "," +
                             std::to_string(ui) + "," + Hex(flags);
    if (HRESULT hr = fake_.Enter("AdminServices", args); hr != S_OK) return hr;
    if (fake_.Profile(profile) == nullptr) return MAPI_E_NOT_FOUND;
    *admin = new FakeServiceAdmin(fake_, profile);
    return S_OK;
  }
};

}  // namespace

FakeMapi::FakeMapi() = default;
FakeMapi::~FakeMapi() = default;

void FakeMapi::FailCall(const std::string& call, HRESULT hr, int occurrence) {
  failures_[call] = Failure{hr, occurrence};
}

HRESULT FakeMapi::Enter(const std::string& call, const std::string& arguments) {
  calls.push_back(arguments.empty() ? call : call + "(" + arguments + ")");
  const int count = ++callCounts_[call];
  auto failure = failures_.find(call);
  if (failure == failures_.end()) return S_OK;
  const bool hit = failure->second.occurrence == 0 || failure->second.occurrence == count;
  return hit ? failure->second.hr : S_OK;
}

platform::MapiEntryPoints FakeMapi::EntryPoints() {
  platform::MapiEntryPoints entry;
  entry.MAPIInitialize = [this](MAPIINIT_0* init) {
    const std::string args =
        init == nullptr ? "null" : std::to_string(init->ulVersion) + "," + Hex(init->ulFlags);
    const HRESULT hr = Enter("MAPIInitialize", args);
    if (hr == S_OK) ++initializeCount;
    return hr;
  };
  entry.MAPIAdminProfiles = [this](ULONG flags, LPPROFADMIN* admin) {
    if (HRESULT hr = Enter("MAPIAdminProfiles", Hex(flags)); hr != S_OK) return hr;
    *admin = new FakeProfAdmin(*this);
    return S_OK;
  };
  entry.FreeProws = [this](LPSRowSet rows) {
    calls.push_back("FreeProws");
    ++freeProwsCount;
    FreeRowSet(rows);
  };
  entry.MAPIUninitialize = [this] {
    calls.push_back("MAPIUninitialize");
    ++uninitializeCount;
  };
  return entry;
}

FakeProfile& FakeMapi::AddProfile(const std::string& name, bool isDefault) {
  FakeProfile profile;
  profile.name = name;
  profile.isDefault = isDefault;
  profiles.push_back(profile);
  return profiles.back();
}

FakeService& FakeMapi::AddService(FakeProfile& profile, const std::string& name) {
  FakeService service;
  service.name = name;
  const unsigned id = nextUid_++;
  std::memcpy(service.uid.ab, &id, sizeof id);
  service.uid.ab[15] = 0xA5;
  profile.services.push_back(service);
  return profile.services.back();
}

FakeProfile* FakeMapi::Profile(const std::string& name) {
  for (FakeProfile& profile : profiles) {
    if (profile.hasName && profile.name == name) return &profile;
  }
  return nullptr;
}

LPSRowSet FakeMapi::NewRowSet(const std::vector<std::vector<SPropValue>>& rows) {
  // One block for the set, one per row's properties, as MAPI allocates them.
  const size_t count = rows.size();
  auto* set = static_cast<LPSRowSet>(
      ::operator new(sizeof(SRowSet) + sizeof(SRow) * (count ? count - 1 : 0)));
  set->cRows = static_cast<ULONG>(count);
  for (size_t i = 0; i < count; ++i) {
    set->aRow[i].ulAdrEntryPad = 0;
    set->aRow[i].cValues = static_cast<ULONG>(rows[i].size());
    set->aRow[i].lpProps = new SPropValue[rows[i].size() ? rows[i].size() : 1];
    std::copy(rows[i].begin(), rows[i].end(), set->aRow[i].lpProps);
  }
  ++liveRowSets_;
  return set;
}

void FakeMapi::FreeRowSet(LPSRowSet rows) {
  if (rows == nullptr) return;
  for (ULONG i = 0; i < rows->cRows; ++i) delete[] rows->aRow[i].lpProps;
  ::operator delete(rows);
  --liveRowSets_;
}

}  // namespace kalinor::testing
