// Test helper: a DOM whose reading primitive fails, as one that cannot do it
// does (msxml3 under Wine fails nextSibling on a DOCTYPE with E_NOTIMPL),
// given to XMLDocument through its DOM factory.
#pragma once

#include "platform/hresult.h"

namespace kalinor::testing {

/// The reading primitives of xml/dom_reader.h.
enum class DomPrimitive {
  DocumentNode,
  NodeKind,
  NodeNameIs,
  FirstChild,
  NextSibling,
  PreviousSibling,
  ParentNode,
  AttributeNames,
  IsElement,
  GetText,
  GetAttribute,
  ChildNodeCount,
};

/// From now on primitive raises _com_error(failure) in every XMLDocument
/// whose DOM object is made afterwards (each other primitive reads the real
/// DOM); S_OK makes it work again, and once every primitive works again
/// XMLDocument makes the platform's DOM. Never fails.
void FailDomPrimitive(DomPrimitive primitive, HRESULT failure);

}  // namespace kalinor::testing
