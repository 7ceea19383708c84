// The methods of MAPI's table and administration interfaces that neither the
// stand-in MAPI nor the tests' fake offers, written once: each answers
// MAPI_E_NO_SUPPORT. Each template derives from Base (the object's own
// reference counting over the interface) and leaves the methods the object
// does offer, and IUnknown's, to the object itself. Header only, so that the
// tests' fake MAPI can use it on every build without linking the stand-in.
#pragma once

#include <cstddef>
#include <tuple>

#include "platform/mapi.h"
#include "standin/mapi/com_support.h"

namespace kalinor::mapi_standin {

/// The type of parameter N of an interface method, read from the method's own
/// declaration. The header sets disagree on some: a table's advise connection
/// is ULONG in MinGW-w64's headers and ULONG_PTR in Microsoft's, so an
/// override that spelled either would not override under the other.
template <class Interface, class Result, class... Parameters>
std::tuple<Parameters...> ParametersOf(Result (KALINOR_MAPI_CALL Interface::*)(Parameters...));
template <auto Method, std::size_t N>
using ParameterOf = std::tuple_element_t<N, decltype(ParametersOf(Method))>;

/// Base with GetLastError answering MAPI_E_NO_SUPPORT: no object keeps
/// error information to give.
template <class Base>
class NoErrorInformation : public Base {
 public:
  using Base::Base;

  HRESULT KALINOR_MAPI_CALL GetLastError(HRESULT, ULONG, LPMAPIERROR*) override {
    return MAPI_E_NO_SUPPORT;
  }
};

/// Base (an IMAPITable) with all but GetRowCount and QueryRows answering
/// MAPI_E_NO_SUPPORT.
template <class Base>
class UnsupportedTableMethods : public NoErrorInformation<Base> {
 public:
  using NoErrorInformation<Base>::NoErrorInformation;

  HRESULT KALINOR_MAPI_CALL Advise(ULONG, LPMAPIADVISESINK,
                                   ParameterOf<&IMAPITable::Advise, 2>) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL Unadvise(ParameterOf<&IMAPITable::Unadvise, 0>) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL GetStatus(ULONG*, ULONG*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT KALINOR_MAPI_CALL SetColumns(LPSPropTagArray, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL QueryColumns(ULONG, LPSPropTagArray*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL SeekRow(BOOKMARK, LONG, LONG*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT KALINOR_MAPI_CALL SeekRowApprox(ULONG, ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT KALINOR_MAPI_CALL QueryPosition(ULONG*, ULONG*, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL FindRow(LPSRestriction, BOOKMARK, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL Restrict(LPSRestriction, ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT KALINOR_MAPI_CALL CreateBookmark(BOOKMARK*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT KALINOR_MAPI_CALL FreeBookmark(BOOKMARK) override { return MAPI_E_NO_SUPPORT; }
  HRESULT KALINOR_MAPI_CALL SortTable(LPSSortOrderSet, ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT KALINOR_MAPI_CALL QuerySortOrder(LPSSortOrderSet*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT KALINOR_MAPI_CALL Abort() override { return MAPI_E_NO_SUPPORT; }
  HRESULT KALINOR_MAPI_CALL ExpandRow(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet*, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL CollapseRow(ULONG, LPBYTE, ULONG, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL WaitForCompletion(ULONG, ULONG, ULONG*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL GetCollapseState(ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL SetCollapseState(ULONG, ULONG, LPBYTE, BOOKMARK*) override {
    return MAPI_E_NO_SUPPORT;
  }
};

/// Base (an IMsgServiceAdmin) with all but GetMsgServiceTable,
/// CreateMsgService, DeleteMsgService and ConfigureMsgService answering
/// MAPI_E_NO_SUPPORT.
template <class Base>
class UnsupportedServiceAdminMethods : public NoErrorInformation<Base> {
 public:
  using NoErrorInformation<Base>::NoErrorInformation;

  HRESULT KALINOR_MAPI_CALL CopyMsgService(LPMAPIUID, LPTSTR, LPCIID, LPCIID, LPVOID, ULONG_PTR,
                                           ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL RenameMsgService(LPMAPIUID, ULONG, LPTSTR) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL OpenProfileSection(LPMAPIUID, LPCIID, ULONG, LPPROFSECT*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL MsgServiceTransportOrder(ULONG, LPMAPIUID, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL AdminProviders(LPMAPIUID, ULONG, LPPROVIDERADMIN*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL SetPrimaryIdentity(LPMAPIUID, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL GetProviderTable(ULONG, LPMAPITABLE*) override {
    return MAPI_E_NO_SUPPORT;
  }
};

/// Base (an IProfAdmin) with all but GetProfileTable and AdminServices
/// answering MAPI_E_NO_SUPPORT.
template <class Base>
class UnsupportedProfAdminMethods : public NoErrorInformation<Base> {
 public:
  using NoErrorInformation<Base>::NoErrorInformation;

  HRESULT KALINOR_MAPI_CALL CreateProfile(LPTSTR, LPTSTR, ULONG_PTR, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL DeleteProfile(LPTSTR, ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT KALINOR_MAPI_CALL ChangeProfilePassword(LPTSTR, LPTSTR, LPTSTR, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL CopyProfile(LPTSTR, LPTSTR, LPTSTR, ULONG_PTR, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL RenameProfile(LPTSTR, LPTSTR, LPTSTR, ULONG_PTR, ULONG) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT KALINOR_MAPI_CALL SetDefaultProfile(LPTSTR, ULONG) override { return MAPI_E_NO_SUPPORT; }
};

}  // namespace kalinor::mapi_standin
