// The MAPI names the tool uses, declared as the Windows SDK declares them:
// the same types and constants, and each interface with every method in its
// real slot order, so code written against them reads as it would on Windows.
#pragma once

#include <cstdint>

#include "platform/hresult.h"

using ULONG = std::uint32_t;
using LONG = std::int32_t;
using USHORT = std::uint16_t;
using BYTE = std::uint8_t;
using BOOL = std::int32_t;
using DWORD = std::uint32_t;
using ULONG_PTR = std::uintptr_t;
using LPVOID = void*;
using LPBYTE = BYTE*;
using LPSTR = char*;
using LPWSTR = wchar_t*;
using LPTSTR = char*;  // MAPI's 8-bit text; MAPI_UNICODE passes wide text through it
using BOOKMARK = ULONG_PTR;

// COM methods have no calling convention of their own here.
#define STDMETHODCALLTYPE

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using LPCIID = const IID*;
using REFIID = const IID&;

struct MAPIUID {
  BYTE ab[16];
};
using LPMAPIUID = MAPIUID*;

struct SBinary {
  ULONG cb;
  LPBYTE lpb;
};

union __UPV {
  short int i;
  LONG l;
  ULONG ul;
  float flt;
  double dbl;
  unsigned short int b;
  double at;
  LPSTR lpszA;
  SBinary bin;
  LPWSTR lpszW;
  GUID* lpguid;
  std::int64_t li;
  SCODE err;
  LONG x;
};

struct SPropValue {
  ULONG ulPropTag;
  ULONG dwAlignPad;
  __UPV Value;
};
using LPSPropValue = SPropValue*;

struct SRow {
  ULONG ulAdrEntryPad;
  ULONG cValues;
  LPSPropValue lpProps;
};
using LPSRow = SRow*;

struct SRowSet {
  ULONG cRows;
  SRow aRow[1];
};
using LPSRowSet = SRowSet*;

struct SPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[1];
};
using LPSPropTagArray = SPropTagArray*;

struct MAPIINIT_0 {
  ULONG ulVersion;
  ULONG ulFlags;
};
using LPMAPIINIT_0 = MAPIINIT_0*;

// Interfaces the tool never calls, named only for their slots.
struct MAPIERROR;
using LPMAPIERROR = MAPIERROR*;
struct IMAPIAdviseSink;
using LPMAPIADVISESINK = IMAPIAdviseSink*;
struct SRestriction;
using LPSRestriction = SRestriction*;
struct SSortOrderSet;
using LPSSortOrderSet = SSortOrderSet*;
struct IProfSect;
using LPPROFSECT = IProfSect*;
struct IProviderAdmin;
using LPPROVIDERADMIN = IProviderAdmin*;

inline constexpr ULONG MAPI_INIT_VERSION = 0;
inline constexpr ULONG MAPI_UNICODE = 0x80000000u;
inline constexpr HRESULT MAPI_E_NOT_FOUND = static_cast<HRESULT>(0x8004010F);
inline constexpr HRESULT MAPI_E_TIMEOUT = static_cast<HRESULT>(0x80040401);
inline constexpr HRESULT MAPI_E_CALL_FAILED = E_FAIL;
inline constexpr HRESULT MAPI_E_NO_SUPPORT = static_cast<HRESULT>(0x80040102);
inline constexpr HRESULT MAPI_E_NOT_INITIALIZED = static_cast<HRESULT>(0x80040605);
inline constexpr HRESULT MAPI_E_INVALID_PARAMETER = E_INVALIDARG;
inline constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = E_OUTOFMEMORY;

inline constexpr ULONG PT_BOOLEAN = 0x000B;
inline constexpr ULONG PT_STRING8 = 0x001E;
inline constexpr ULONG PT_BINARY = 0x0102;
inline constexpr ULONG PR_DEFAULT_PROFILE = 0x3D04000B;
inline constexpr ULONG PR_DISPLAY_NAME_A = 0x3001001E;
inline constexpr ULONG PR_SERVICE_NAME_A = 0x3D09001E;
inline constexpr ULONG PR_SERVICE_UID = 0x3D0C0102;

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
};
using LPUNKNOWN = IUnknown*;

struct IMAPITable : IUnknown {
  virtual HRESULT GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) = 0;
  virtual HRESULT Advise(ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
                         ULONG* lpulConnection) = 0;
  virtual HRESULT Unadvise(ULONG ulConnection) = 0;
  virtual HRESULT GetStatus(ULONG* lpulTableStatus, ULONG* lpulTableType) = 0;
  virtual HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) = 0;
  virtual HRESULT QueryColumns(ULONG ulFlags, LPSPropTagArray* lpPropTagArray) = 0;
  virtual HRESULT GetRowCount(ULONG ulFlags, ULONG* lpulCount) = 0;
  virtual HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) = 0;
  virtual HRESULT SeekRowApprox(ULONG ulNumerator, ULONG ulDenominator) = 0;
  virtual HRESULT QueryPosition(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator) = 0;
  virtual HRESULT FindRow(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags) = 0;
  virtual HRESULT Restrict(LPSRestriction lpRestriction, ULONG ulFlags) = 0;
  virtual HRESULT CreateBookmark(BOOKMARK* lpbkPosition) = 0;
  virtual HRESULT FreeBookmark(BOOKMARK bkPosition) = 0;
  virtual HRESULT SortTable(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) = 0;
  virtual HRESULT QuerySortOrder(LPSSortOrderSet* lppSortCriteria) = 0;
  virtual HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) = 0;
  virtual HRESULT Abort() = 0;
  virtual HRESULT ExpandRow(ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulRowCount,
                            ULONG ulFlags, LPSRowSet* lppRows, ULONG* lpulMoreRows) = 0;
  virtual HRESULT CollapseRow(ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulFlags,
                              ULONG* lpulRowCount) = 0;
  virtual HRESULT WaitForCompletion(ULONG ulFlags, ULONG ulTimeout, ULONG* lpulTableStatus) = 0;
  virtual HRESULT GetCollapseState(ULONG ulFlags, ULONG cbInstanceKey, LPBYTE lpbInstanceKey,
                                   ULONG* lpcbCollapseState, LPBYTE* lppbCollapseState) = 0;
  virtual HRESULT SetCollapseState(ULONG ulFlags, ULONG cbCollapseState, LPBYTE pbCollapseState,
                                   BOOKMARK* lpbkLocation) = 0;
};
using LPMAPITABLE = IMAPITable*;

struct IMsgServiceAdmin : IUnknown {
  virtual HRESULT GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) = 0;
  virtual HRESULT GetMsgServiceTable(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  virtual HRESULT CreateMsgService(LPTSTR lpszService, LPTSTR lpszDisplayName, ULONG_PTR ulUIParam,
                                   ULONG ulFlags) = 0;
  virtual HRESULT DeleteMsgService(LPMAPIUID lpUID) = 0;
  virtual HRESULT CopyMsgService(LPMAPIUID lpUID, LPTSTR lpszDisplayName, LPCIID lpInterfaceToCopy,
                                 LPCIID lpInterfaceDst, LPVOID lpObjectDst, ULONG_PTR ulUIParam,
                                 ULONG ulFlags) = 0;
  virtual HRESULT RenameMsgService(LPMAPIUID lpUID, ULONG ulFlags, LPTSTR lpszDisplayName) = 0;
  virtual HRESULT ConfigureMsgService(LPMAPIUID lpUID, ULONG_PTR ulUIParam, ULONG ulFlags,
                                      ULONG cValues, LPSPropValue lpProps) = 0;
  virtual HRESULT OpenProfileSection(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags,
                                     LPPROFSECT* lppProfSect) = 0;
  virtual HRESULT MsgServiceTransportOrder(ULONG cUID, LPMAPIUID lpUIDList, ULONG ulFlags) = 0;
  virtual HRESULT AdminProviders(LPMAPIUID lpUID, ULONG ulFlags,
                                 LPPROVIDERADMIN* lppProviderAdmin) = 0;
  virtual HRESULT SetPrimaryIdentity(LPMAPIUID lpUID, ULONG ulFlags) = 0;
  virtual HRESULT GetProviderTable(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
};
using LPSERVICEADMIN = IMsgServiceAdmin*;

struct IProfAdmin : IUnknown {
  virtual HRESULT GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) = 0;
  virtual HRESULT GetProfileTable(ULONG ulFlags, LPMAPITABLE* lppTable) = 0;
  virtual HRESULT CreateProfile(LPTSTR lpszProfileName, LPTSTR lpszPassword, ULONG_PTR ulUIParam,
                                ULONG ulFlags) = 0;
  virtual HRESULT DeleteProfile(LPTSTR lpszProfileName, ULONG ulFlags) = 0;
  virtual HRESULT ChangeProfilePassword(LPTSTR lpszProfileName, LPTSTR lpszOldPassword,
                                        LPTSTR lpszNewPassword, ULONG ulFlags) = 0;
  virtual HRESULT CopyProfile(LPTSTR lpszOldProfileName, LPTSTR lpszOldPassword,
                              LPTSTR lpszNewProfileName, ULONG_PTR ulUIParam, ULONG ulFlags) = 0;
  virtual HRESULT RenameProfile(LPTSTR lpszOldProfileName, LPTSTR lpszOldPassword,
                                LPTSTR lpszNewProfileName, ULONG_PTR ulUIParam, ULONG ulFlags) = 0;
  virtual HRESULT SetDefaultProfile(LPTSTR lpszProfileName, ULONG ulFlags) = 0;
  virtual HRESULT AdminServices(LPTSTR lpszProfileName, LPTSTR lpszPassword, ULONG_PTR ulUIParam,
                                ULONG ulFlags, LPSERVICEADMIN* lppServiceAdmin) = 0;
};
using LPPROFADMIN = IProfAdmin*;
