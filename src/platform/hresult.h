// Status codes and the two HRESULT-carrying exceptions.
//
// On Windows HRESULT and the status codes come from the SDK; elsewhere they
// are declared here with the same names and values, so that portable code
// reads as it would on Windows.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
using HRESULT = std::int32_t;
using SCODE = std::int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);

inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }
inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
#endif

namespace kalinor {

/// An HRESULT as the unsigned 32-bit number that "%#X" expects.
inline unsigned HResultBits(HRESULT hr) { return static_cast<std::uint32_t>(hr); }

/// Raised by the program for its own failures (the MAPI start, a null
/// format, out of memory in text handling). Carries the HRESULT.
class CAtlException {
 public:
  explicit CAtlException(HRESULT hr) noexcept : m_hr(hr) {}
  HRESULT Error() const noexcept { return m_hr; }

  HRESULT m_hr;
};

/// Raised by a failing call into the XML DOM. Carries the HRESULT; never
/// leaves the XML document class.
class _com_error {
 public:
  explicit _com_error(HRESULT hr) noexcept : m_hr(hr) {}
  HRESULT Error() const noexcept { return m_hr; }

 private:
  HRESULT m_hr;
};

/// Raises _com_error when hr is a failure (negative); returns hr otherwise.
inline HRESULT ThrowIfDomFailed(HRESULT hr) {
  if (FAILED(hr)) throw _com_error(hr);
  return hr;
}

}  // namespace kalinor
