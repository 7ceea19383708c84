// COM on the calling thread, for the XML DOM outside a MAPI session (MAPI's
// start initialises COM itself). On POSIX there is no COM: nothing happens.
#pragma once

namespace kalinor::platform {

class ComApartment {
 public:
  /// Enters a single-threaded apartment (CoInitializeEx). Failure is not
  /// raised: XML loads then fail and report it themselves.
  ComApartment();
  /// Leaves it, once, when the constructor entered it.
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  [[maybe_unused]] bool entered_ = false;  // POSIX has no apartment to leave
};

}  // namespace kalinor::platform
