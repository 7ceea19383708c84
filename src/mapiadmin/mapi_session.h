// The one owner of a MAPI session, for kalinor and kalinor-query alike.
#pragma once

#include "mapiadmin/service_admin_holder.h"
#include "platform/mapi.h"

namespace kalinor {

/// MAPI started for the lifetime of the object, with the session's one
/// service administration holder. The constructor calls MAPIInitialize; a
/// failure is reported on the debugger channel ("Error initializing MAPI:
/// 0X…"), and such a session is never shut down (no MAPIUninitialize after a
/// failed start). Formatting that report may raise; then no session exists.
class MapiSession {
 public:
  explicit MapiSession(const platform::MapiEntryPoints& mapi);
  ~MapiSession() { End(); }
  MapiSession(const MapiSession&) = delete;
  MapiSession& operator=(const MapiSession&) = delete;

  /// True when MAPIInitialize succeeded and End has not run yet.
  bool IsStarted() const { return started_; }

  /// The holder of the session's service administration.
  ServiceAdminHolder& Holder() { return holder_; }

  /// Releases the holder, then calls MAPIUninitialize once if MAPI was
  /// started. Later calls (and the destructor) do nothing more.
  void End();

 private:
  const platform::MapiEntryPoints& mapi_;
  ServiceAdminHolder holder_;
  bool started_ = false;
};

}  // namespace kalinor
