#include "report/hresult_names.h"

#include <algorithm>

namespace kalinor {
namespace {

// Ordered by value, so that a lookup is a binary search.
constexpr HResultName kKnownHResults[] = {
    {0x00000001, L"S_FALSE", L"success with a reservation (the operation did less than asked)"},
    {0x00040380, L"MAPI_W_ERRORS_RETURNED", L"some properties could not be read or written"},
    {0x80004001, L"E_NOTIMPL", L"the provider does not implement this call"},
    {0x80004002, L"E_NOINTERFACE", L"interface not supported (MAPI_E_INTERFACE_NOT_SUPPORTED)"},
    {0x80004003, L"E_POINTER", L"a null pointer was passed"},
    {0x80004004, L"E_ABORT", L"the operation was aborted"},
    {0x80004005, L"E_FAIL", L"unspecified failure (MAPI_E_CALL_FAILED)"},
    {0x8000FFFF, L"E_UNEXPECTED", L"catastrophic or unexpected failure"},
    {0x80010106, L"RPC_E_CHANGED_MODE", L"COM was already started on this thread in another mode"},
    {0x80020005, L"DISP_E_TYPEMISMATCH", L"a value of the wrong type was passed"},
    {0x80020009, L"DISP_E_EXCEPTION", L"the XML component raised an exception"},
    {0x80040102, L"MAPI_E_NO_SUPPORT", L"the provider does not support this operation"},
    {0x80040103, L"MAPI_E_BAD_CHARWIDTH",
     L"ANSI or Unicode text was passed where the other was expected"},
    {0x80040105, L"MAPI_E_STRING_TOO_LONG", L"a text is longer than the provider accepts"},
    {0x80040106, L"MAPI_E_UNKNOWN_FLAGS", L"the provider does not know a flag that was passed"},
    {0x80040107, L"MAPI_E_INVALID_ENTRYID", L"an entry identifier is not valid"},
    {0x80040108, L"MAPI_E_INVALID_OBJECT", L"the object is no longer valid"},
    {0x80040109, L"MAPI_E_OBJECT_CHANGED", L"the object was changed by someone else"},
    {0x8004010A, L"MAPI_E_OBJECT_DELETED", L"the object was deleted by someone else"},
    {0x8004010B, L"MAPI_E_BUSY",
     L"the profile or provider is busy; close the mail client and retry"},
    {0x8004010D, L"MAPI_E_NOT_ENOUGH_DISK", L"not enough disk space"},
    {0x8004010E, L"MAPI_E_NOT_ENOUGH_RESOURCES", L"not enough system resources"},
    {0x8004010F, L"MAPI_E_NOT_FOUND",
     L"not found: no such profile, or the service is not in mapisvc.inf"},
    {0x80040110, L"MAPI_E_VERSION", L"MAPI or provider version mismatch"},
    {0x80040111, L"MAPI_E_LOGON_FAILED", L"the logon or the service configuration failed"},
    {0x80040112, L"MAPI_E_SESSION_LIMIT", L"too many MAPI sessions"},
    {0x80040113, L"MAPI_E_USER_CANCEL", L"the user cancelled a dialog"},
    {0x80040114, L"MAPI_E_UNABLE_TO_ABORT", L"the operation could not be cancelled"},
    {0x80040115, L"MAPI_E_NETWORK_ERROR", L"a network error"},
    {0x80040116, L"MAPI_E_DISK_ERROR", L"a disk error"},
    {0x80040117, L"MAPI_E_TOO_COMPLEX", L"the request is too complex for the provider"},
    {0x80040118, L"MAPI_E_BAD_COLUMN", L"a table column is not known"},
    {0x80040119, L"MAPI_E_EXTENDED_ERROR", L"the provider has more detail on the failure"},
    {0x8004011B, L"MAPI_E_CORRUPT_DATA", L"the profile data is corrupt"},
    {0x8004011C, L"MAPI_E_UNCONFIGURED", L"the service needs configuration that it could not get"},
    {0x8004011D, L"MAPI_E_FAILONEPROVIDER", L"one of the service's providers failed"},
    {0x80040124, L"MAPI_E_ACCOUNT_DISABLED", L"the account is disabled"},
    {0x80040154, L"REGDB_E_CLASSNOTREG", L"a COM class (the XML component) is not registered"},
    {0x800401F0, L"CO_E_NOTINITIALIZED", L"COM was not started on this thread"},
    {0x800401F3, L"CO_E_CLASSSTRING", L"a COM class name could not be resolved"},
    {0x80040201, L"MAPI_E_UNKNOWN_ENTRYID", L"the entry identifier belongs to no provider"},
    {0x80040301, L"MAPI_E_BAD_VALUE", L"a property value is not valid"},
    {0x80040302, L"MAPI_E_INVALID_TYPE", L"a property type is not valid"},
    {0x80040305, L"MAPI_E_TOO_BIG", L"a value is too big for the provider"},
    {0x80040400, L"MAPI_E_UNABLE_TO_COMPLETE", L"the operation could not be completed"},
    {0x80040401, L"MAPI_E_TIMEOUT", L"the operation timed out"},
    {0x80040402, L"MAPI_E_TABLE_EMPTY", L"the table has no rows"},
    {0x80040403, L"MAPI_E_TABLE_TOO_BIG", L"the table is too big to read"},
    {0x80040600, L"MAPI_E_CORRUPT_STORE", L"the message store is corrupt"},
    {0x80040604, L"MAPI_E_COLLISION", L"the name is already in use"},
    {0x80040605, L"MAPI_E_NOT_INITIALIZED",
     L"MAPI is not set up: no Extended MAPI mail client is installed as the default"},
    {0x80070002, L"ERROR_FILE_NOT_FOUND", L"a file was not found (HRESULT_FROM_WIN32)"},
    {0x80070003, L"ERROR_PATH_NOT_FOUND", L"a folder was not found (HRESULT_FROM_WIN32)"},
    {0x80070005, L"E_ACCESSDENIED", L"access denied (MAPI_E_NO_ACCESS, ERROR_ACCESS_DENIED)"},
    {0x80070006, L"E_HANDLE", L"an invalid handle (ERROR_INVALID_HANDLE)"},
    {0x80070008, L"ERROR_NOT_ENOUGH_MEMORY", L"not enough memory (HRESULT_FROM_WIN32)"},
    {0x8007000D, L"ERROR_INVALID_DATA", L"the data is not valid (HRESULT_FROM_WIN32)"},
    {0x8007000E, L"E_OUTOFMEMORY", L"out of memory (MAPI_E_NOT_ENOUGH_MEMORY)"},
    {0x80070020, L"ERROR_SHARING_VIOLATION",
     L"a file is in use by another process; close the mail client and retry"},
    {0x80070021, L"ERROR_LOCK_VIOLATION", L"a file region is locked by another process"},
    {0x80070050, L"ERROR_FILE_EXISTS", L"the file exists already (HRESULT_FROM_WIN32)"},
    {0x80070057, L"E_INVALIDARG", L"an invalid argument (MAPI_E_INVALID_PARAMETER)"},
    {0x80070070, L"ERROR_DISK_FULL", L"the disk is full (HRESULT_FROM_WIN32)"},
    {0x8007007E, L"ERROR_MOD_NOT_FOUND",
     L"mapi32.dll or a DLL it needs was not found: no MAPI installed"},
    {0x8007007F, L"ERROR_PROC_NOT_FOUND",
     L"an entry point is missing from mapi32.dll (not an Extended MAPI DLL)"},
    {0x800700B7, L"ERROR_ALREADY_EXISTS", L"it exists already (HRESULT_FROM_WIN32)"},
    {0x800700C1, L"ERROR_BAD_EXE_FORMAT",
     L"a DLL of the other bitness: use the kalinor.exe matching the mail client"},
    {0x8007045A, L"ERROR_DLL_INIT_FAILED", L"a DLL failed to start (HRESULT_FROM_WIN32)"},
};

}  // namespace

std::span<const HResultName> KnownHResults() { return kKnownHResults; }

const HResultName* FindHResultName(std::uint32_t code) {
  const auto found = std::lower_bound(
      std::begin(kKnownHResults), std::end(kKnownHResults), code,
      [](const HResultName& entry, std::uint32_t value) { return entry.Code < value; });
  return found != std::end(kKnownHResults) && found->Code == code ? found : nullptr;
}

}  // namespace kalinor
