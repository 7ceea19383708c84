// The profile store's content and its XML form:
//
//   <Profiles>
//     <Profile name="Default" default="true">
//       <Service name="ArchiveConnector" displayName="Archive Connector"
//                uid="0123456789abcdef0123456789abcdef" configured="true"/>
//     </Profile>
//   </Profiles>
//
// These three elements are read, nested this way. What the stand-in does not
// know is kept as read and written back in its place: other attributes,
// comments, processing instructions and other elements with all they hold
// (the file is shared with whatever else keeps profiles in it). A known
// element out of its place, a DOCTYPE, or text or CDATA directly in a known
// element makes the file malformed. The file is UTF-8; the XML declaration is
// written afresh.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/mapi.h"

namespace kalinor::mapi_standin {

/// An element's attributes as read, names and decoded values in UTF-8, in
/// document order. On writing, the known ones take their values from the
/// fields (and are dropped when the field is empty); the others stay as read.
using KeptAttributes = std::vector<std::pair<std::string, std::string>>;

/// Nodes the stand-in does not interpret, each its source text as read.
using KeptNodes = std::vector<std::string>;

/// One message service of a profile.
struct StoredService {
  std::optional<std::wstring> name;          // the service name (PR_SERVICE_NAME_A)
  std::optional<std::wstring> display_name;  // PR_DISPLAY_NAME_A
  MAPIUID uid{};                             // PR_SERVICE_UID
  bool configured = false;                   // set by ConfigureMsgService
  KeptAttributes attributes;
  KeptNodes before;   // unknown nodes just before this element
  KeptNodes content;  // unknown nodes inside it
};

/// One profile; a profile without a name is kept but cannot be administered.
struct StoredProfile {
  std::optional<std::wstring> name;
  bool is_default = false;
  std::vector<StoredService> services;
  KeptAttributes attributes;
  KeptNodes before;  // unknown nodes just before this element
  KeptNodes after;   // unknown nodes after its last service
};

/// The whole store, profiles in document order.
struct ProfileStore {
  std::vector<StoredProfile> profiles;
  KeptAttributes attributes;  // of the Profiles element
  KeptNodes prolog;           // before the Profiles element
  KeptNodes after;            // inside it, after the last profile
  KeptNodes epilog;           // after it
};

/// The store a missing file stands for: one profile "Default", flagged default.
ProfileStore EmbeddedDefaultStore();

/// Reads the XML form. False (store left empty) when the text is malformed:
/// bad XML, an element out of place, a Service without a uid of 32 hex digits.
bool ParseProfileStore(std::string_view xml, ProfileStore& store);

/// Writes the XML form that ParseProfileStore reads back unchanged.
std::string SerializeProfileStore(const ProfileStore& store);

/// Removes the service from the profile. The unknown nodes before it stay,
/// before the next service or at the end of the profile.
void RemoveService(StoredProfile& profile, const StoredService& service);

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

}  // namespace kalinor::mapi_standin
