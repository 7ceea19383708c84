// The profile store's content and its XML form:
//
//   <Profiles>
//     <Profile name="Default" default="true">
//       <Service name="ArchiveConnector" displayName="Archive Connector"
//                uid="0123456789abcdef0123456789abcdef" configured="true"/>
//     </Profile>
//   </Profiles>
//
// Only these three elements are accepted, nested this way; attributes other
// than the ones shown are ignored. Comments, processing instructions and the
// XML declaration are skipped; a DOCTYPE, CDATA or text makes the file
// malformed. The file is UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mapi.h"

namespace kalinor::platform::mapi_standin {

/// One message service of a profile.
struct StoredService {
  std::optional<std::wstring> name;          // the service name (PR_SERVICE_NAME_A)
  std::optional<std::wstring> display_name;  // PR_DISPLAY_NAME_A
  MAPIUID uid{};                             // PR_SERVICE_UID
  bool configured = false;                   // set by ConfigureMsgService
};

/// One profile; a profile without a name is kept but cannot be administered.
struct StoredProfile {
  std::optional<std::wstring> name;
  bool is_default = false;
  std::vector<StoredService> services;
};

/// The whole store, profiles in document order.
struct ProfileStore {
  std::vector<StoredProfile> profiles;
};

/// The store a missing file stands for: one profile "Default", flagged default.
ProfileStore EmbeddedDefaultStore();

/// Reads the XML form. False (store left empty) when the text is malformed:
/// bad XML, an element out of place, a Service without a uid of 32 hex digits.
bool ParseProfileStore(std::string_view xml, ProfileStore& store);

/// Writes the XML form that ParseProfileStore reads back unchanged.
std::string SerializeProfileStore(const ProfileStore& store);

/// A MAPIUID as 32 lower-case hex digits.
std::string FormatMapiUid(const MAPIUID& uid);

/// Reads 32 hex digits (either case) into uid. False for anything else.
bool ParseMapiUid(std::string_view text, MAPIUID& uid);

/// The first profile whose name equals `name`, ignoring the case of ASCII
/// letters; null when none does.
StoredProfile* FindProfile(ProfileStore& store, const std::wstring& name);

/// The first service of the profile with this uid; null when none has it.
StoredService* FindServiceByUid(StoredProfile& profile, const MAPIUID& uid);

/// True when a service in any profile has this uid.
bool StoreHasUid(const ProfileStore& store, const MAPIUID& uid);

}  // namespace kalinor::platform::mapi_standin
