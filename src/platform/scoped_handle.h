// One owner for every operating-system handle and interface pointer: a file
// descriptor, a file or key HANDLE, a held lock, a COM or MAPI interface.
// Each kind is a Traits type that says what the empty value is and how to
// close one; the owner itself is the same everywhere.
#pragma once

#include <type_traits>
#include <utility>

namespace kalinor::platform {

/// Owns one handle and closes it exactly once, when it leaves scope, on
/// Reset() or on Close(). Traits provides `Handle`, `static Handle Invalid()`,
/// `static bool IsValid(Handle)` and `static bool Close(Handle)` (false when
/// the close itself failed). Move-only.
template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  /// Holds nothing.
  ScopedHandle() noexcept = default;
  /// Takes over handle (which may be the invalid value).
  explicit ScopedHandle(Handle handle) noexcept : m_handle(handle) {}
  ~ScopedHandle() { Reset(); }
  ScopedHandle(ScopedHandle&& other) noexcept : m_handle(other.Detach()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  /// True while a valid handle is held.
  bool IsValid() const noexcept { return Traits::IsValid(m_handle); }
  explicit operator bool() const noexcept { return IsValid(); }
  /// The handle held, still owned here; the invalid value when empty.
  Handle Get() const noexcept { return m_handle; }
  /// Member access for interface pointers.
  Handle operator->() const noexcept requires std::is_pointer_v<Handle> { return m_handle; }
  /// Closes what is held, then gives the address a call writes a new handle to.
  Handle* Receive() noexcept {
    Reset();
    return &m_handle;
  }
  /// Closes what is held (a close failure is ignored) and takes over handle.
  void Reset(Handle handle = Traits::Invalid()) noexcept {
    Close();
    m_handle = handle;
  }
  /// Closes now; false only when the close itself failed (a late write error
  /// shows up here on some file systems). Empty afterwards.
  bool Close() noexcept {
    const Handle handle = std::exchange(m_handle, Traits::Invalid());
    return !Traits::IsValid(handle) || Traits::Close(handle);
  }
  /// Gives up ownership: returns the handle, which the caller now closes.
  Handle Detach() noexcept { return std::exchange(m_handle, Traits::Invalid()); }

 private:
  Handle m_handle = Traits::Invalid();
};

/// Traits of a handle that is a pointer (or like one): null is empty, and
/// CloseFunction closes a valid one (false when that failed).
template <typename Pointer, bool (*CloseFunction)(Pointer) noexcept>
struct NullIsEmptyTraits {
  using Handle = Pointer;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static bool Close(Handle handle) noexcept { return CloseFunction(handle); }
};

/// Gives back one reference to a COM or MAPI interface. Never fails.
template <class Interface>
bool ReleaseInterface(Interface* pointer) noexcept {
  pointer->Release();
  return true;
}

/// Holds one reference to a COM or MAPI interface and releases it once.
template <class Interface>
using InterfacePtr = ScopedHandle<NullIsEmptyTraits<Interface*, &ReleaseInterface<Interface>>>;

}  // namespace kalinor::platform
