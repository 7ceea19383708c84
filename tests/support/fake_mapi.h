// An in-memory MAPI for tests: profiles and services in plain members, any
// call made to fail with a chosen HRESULT, every call recorded in order, and
// the objects and row sets it hands out counted so leaks show.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/mapi.h"

namespace kalinor::testing {

struct FakeService {
  std::string name;         // PR_SERVICE_NAME_A
  MAPIUID uid{};            // PR_SERVICE_UID
  std::string displayName;  // as passed to CreateMsgService
  bool configured = false;
  bool hasUid = true;  // false: the row carries no PR_SERVICE_UID
};

struct FakeProfile {
  std::string name;
  bool hasName = true;  // false: the row carries no PR_DISPLAY_NAME_A
  bool isDefault = false;
  std::vector<FakeService> services;
};

class FakeMapi {
 public:
  FakeMapi();
  ~FakeMapi();
  FakeMapi(const FakeMapi&) = delete;
  FakeMapi& operator=(const FakeMapi&) = delete;

  /// Makes the named call fail with hr: every time (occurrence 0) or only its
  /// nth time (1-based). Names: MAPIInitialize, MAPIAdminProfiles,
  /// GetProfileTable, AdminServices, GetMsgServiceTable, CreateMsgService,
  /// DeleteMsgService, ConfigureMsgService, and GetRowCount / QueryRows
  /// suffixed ":profiles" or ":services".
  void FailCall(const std::string& call, HRESULT hr, int occurrence = 0);

  /// The entry points bound to this fake.
  platform::MapiEntryPoints EntryPoints();

  /// Adds a profile; returns it for further set-up.
  FakeProfile& AddProfile(const std::string& name, bool isDefault = false);
  /// Adds a service with a fresh identifier to the profile.
  FakeService& AddService(FakeProfile& profile, const std::string& name);
  /// The profile of that exact name, or null.
  FakeProfile* Profile(const std::string& name);

  std::vector<FakeProfile> profiles;
  /// Every call in order, as "Name", "Name(arguments)" or "Release Interface".
  std::vector<std::string> calls;

  /// A misbehaving MAPI: DeleteMsgService succeeds but the service stays.
  bool deleteKeepsServices = false;

  int initializeCount = 0;
  int uninitializeCount = 0;
  int freeProwsCount = 0;
  /// Objects handed out and not yet released to zero.
  int LiveObjects() const { return liveObjects_; }
  /// Row sets handed out and not yet freed.
  int LiveRowSets() const { return liveRowSets_; }
  /// Release calls, by interface ("IProfAdmin", "IMsgServiceAdmin", "IMAPITable").
  std::map<std::string, int> releases;

  // Used by the fake's objects.
  HRESULT Enter(const std::string& call, const std::string& arguments = "");
  void ObjectCreated() { ++liveObjects_; }
  void ObjectDestroyed() { --liveObjects_; }
  LPSRowSet NewRowSet(const std::vector<std::vector<SPropValue>>& rows);

 private:
  void FreeRowSet(LPSRowSet rows);

  struct Failure {
    HRESULT hr;
    int occurrence;
  };
  std::map<std::string, Failure> failures_;
  std::map<std::string, int> callCounts_;
  int liveObjects_ = 0;
  int liveRowSets_ = 0;
  unsigned nextUid_ = 1;
};

}  // namespace kalinor::testing
