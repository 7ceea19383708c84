#include "frontend/hresult_names.h"

#include <cstdint>

namespace kalinor {

namespace {

constexpr HRESULT Code(std::uint32_t bits) { return static_cast<HRESULT>(bits); }

// Where MAPI reuses a COM code (MAPI_E_CALL_FAILED is E_FAIL), the COM name
// stands first, as the SDK defines the MAPI one through it.
const HResultName kNames[] = {
    {Code(0x00000000), L"S_OK", L"Success."},
    {Code(0x00000001), L"S_FALSE", L"Success, with nothing done or a negative answer."},
    {Code(0x80004001), L"E_NOTIMPL", L"The call is not implemented."},
    {Code(0x80004002), L"E_NOINTERFACE", L"The object does not offer the interface asked for."},
    {Code(0x80004003), L"E_POINTER", L"A pointer argument was null or invalid."},
    {Code(0x80004005), L"E_FAIL", L"Unspecified failure (also MAPI_E_CALL_FAILED)."},
    {Code(0x8000FFFF), L"E_UNEXPECTED", L"Catastrophic or unexpected failure."},
    {Code(0x80070002), L"HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)", L"The file was not found."},
    {Code(0x80070003), L"HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)", L"The path was not found."},
    {Code(0x80070005), L"E_ACCESSDENIED", L"Access denied (also MAPI_E_NO_ACCESS)."},
    {Code(0x8007000E), L"E_OUTOFMEMORY", L"Out of memory (also MAPI_E_NOT_ENOUGH_MEMORY)."},
    {Code(0x80070057), L"E_INVALIDARG",
     L"An argument was invalid (also MAPI_E_INVALID_PARAMETER)."},
    {Code(0x8007007E), L"HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)",
     L"A DLL (mapi32.dll or one it needs) could not be loaded."},
    {Code(0x8007007F), L"HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)",
     L"An entry point is missing from the DLL."},
    {Code(0x800401F0), L"CO_E_NOTINITIALIZED", L"COM is not initialised on this thread."},
    {Code(0x80040154), L"REGDB_E_CLASSNOTREG",
     L"The COM class is not registered (MSXML missing?)."},
    {Code(0x80040102), L"MAPI_E_NO_SUPPORT", L"The provider does not support this operation."},
    {Code(0x80040103), L"MAPI_E_BAD_CHARWIDTH",
     L"Unicode was asked of a call that has no Unicode."},
    {Code(0x80040106), L"MAPI_E_UNKNOWN_FLAGS", L"A flag passed is not known to the provider."},
    {Code(0x80040107), L"MAPI_E_INVALID_ENTRYID", L"An entry identifier is invalid."},
    {Code(0x8004010B), L"MAPI_E_BUSY", L"The provider is busy with another operation."},
    {Code(0x8004010F), L"MAPI_E_NOT_FOUND",
     L"Not found: no such profile, or a service name missing from mapisvc.inf."},
    {Code(0x80040110), L"MAPI_E_VERSION", L"An incompatible MAPI version."},
    {Code(0x80040111), L"MAPI_E_LOGON_FAILED", L"The logon to the profile failed."},
    {Code(0x80040113), L"MAPI_E_USER_CANCEL", L"The user cancelled (a dialog box was closed)."},
    {Code(0x80040115), L"MAPI_E_NETWORK_ERROR", L"A network failure."},
    {Code(0x80040119), L"MAPI_E_EXTENDED_ERROR", L"The provider has more about the failure."},
    {Code(0x8004011B), L"MAPI_E_CORRUPT_DATA", L"The profile or provider data is corrupt."},
    {Code(0x8004011C), L"MAPI_E_UNCONFIGURED",
     L"The service needs configuration that could not be done without a dialog."},
    {Code(0x80040604), L"MAPI_E_COLLISION", L"The name is already in use."},
    {Code(0x80040605), L"MAPI_E_NOT_INITIALIZED",
     L"MAPI is not initialised: no Extended MAPI mail client, or one of the other bitness."},
};

}  // namespace

const HResultName* FindHResultName(HRESULT hr) {
  for (const HResultName& entry : kNames) {
    if (entry.Value == hr) return &entry;
  }
  return nullptr;
}

}  // namespace kalinor
