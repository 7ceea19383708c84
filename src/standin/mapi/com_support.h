// What every stand-in MAPI object shares: the reference count, the answer to
// QueryInterface, and the rule that no C++ exception crosses a MAPI call.
#pragma once

#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "platform/mapi.h"
#include "platform/text.h"

// MAPI methods use the COM calling convention where the platform has one.
#ifdef STDMETHODCALLTYPE
#define KALINOR_MAPI_CALL STDMETHODCALLTYPE
#else
#define KALINOR_MAPI_CALL
#endif

namespace kalinor::mapi_standin {

/// The interface identifiers the objects answer to, as mapiguid.h defines them.
inline constexpr GUID kIidIUnknown = {0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID kIidIMAPITable = {0x00020301, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID kIidIProfAdmin = {0x0002031C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID kIidIMsgServiceAdmin = {0x0002031D, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

/// MAPI_E_VERSION: MAPIInitialize was given a version it does not know.
inline constexpr HRESULT kMapiErrorVersion = static_cast<HRESULT>(0x80040110);

/// True when the two identifiers are the same.
inline bool SameIid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

/// A reference-counted implementation of Interface: starts at one reference
/// and deletes itself when the last is released. QueryInterface hands out
/// the object for IUnknown and for own_iid, E_NOINTERFACE for anything else.
template <class Interface>
class RefCounted : public Interface {
 public:
  explicit RefCounted(const GUID& own_iid) : m_own_iid(own_iid) {}

  HRESULT KALINOR_MAPI_CALL QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (!SameIid(riid, kIidIUnknown) && !SameIid(riid, m_own_iid)) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *ppv = static_cast<Interface*>(this);
    return S_OK;
  }

  ULONG KALINOR_MAPI_CALL AddRef() override { return ++m_references; }

  ULONG KALINOR_MAPI_CALL Release() override {
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~RefCounted() = default;

 private:
  const GUID m_own_iid;
  std::atomic<ULONG> m_references{1};
};

/// Runs body, turning an escaping exception into MAPI_E_NOT_ENOUGH_MEMORY
/// (out of memory) or MAPI_E_CALL_FAILED (anything else).
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return MAPI_E_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return MAPI_E_CALL_FAILED;
  }
}

/// A text argument: wide text passed through LPTSTR when flags hold
/// MAPI_UNICODE, else 8-bit text in the ANSI code page.
inline std::wstring TextArgument(const void* text, ULONG flags) {
  if ((flags & MAPI_UNICODE) != 0) return static_cast<const wchar_t*>(text);
  return platform::FromAnsiCodePage(static_cast<const char*>(text));
}

}  // namespace kalinor::mapi_standin
