// Inside the pugixml DOM primitives: the objects behind DomDocumentRef and
// DomNodeRef, and the node-path evaluator. Used only by posix/ sources.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace kalinor::platform::pugixml_dom {

/// The object behind a DomDocumentRef.
struct Document {
  /// The document's tree.
  pugi::xml_document tree;
  /// Holds elements made by CreateElement until they are appended (pugixml
  /// has no nodes without a parent).
  pugi::xml_document unattached;
  /// The encoding the document was loaded in, and the one it is saved in.
  pugi::xml_encoding encoding = pugi::encoding_utf8;
  /// Whether the loaded file began with a byte-order mark.
  bool byteOrderMark = false;
  /// True until a load succeeds: a document built from nothing gets an XML
  /// declaration when saved, a loaded one keeps its own (or none).
  bool builtFromNothing = true;
};

/// The object behind a DomNodeRef: a node, or an attribute of an element.
struct Node {
  /// The node; for an attribute, the element that holds it.
  pugi::xml_node node;
  /// The attribute, when this is one.
  pugi::xml_attribute attribute;
  /// True while node is an element made by CreateElement and not yet appended.
  bool unattached = false;
};

/// The first node in document order that query selects relative to context;
/// a Node with an empty node when none. Raises _com_error(E_FAIL) when the
/// query is not a node path.
Node SelectFirst(const Node& context, std::wstring_view query);

/// The node after node in a pre-order walk of top's subtree; empty at its end.
pugi::xml_node NextInPreorder(pugi::xml_node node, pugi::xml_node top);

/// True when c may start an XML name.
bool IsNameStartChar(wchar_t c);

/// True when c may stand inside an XML name.
bool IsNameChar(wchar_t c);

}  // namespace kalinor::platform::pugixml_dom
