// The node-path language, parsed once into a compiled form and evaluated over
// the DOM navigation primitives (xml/dom_reader.h), with the results of
// MSXML's XSL patterns.
//
// A path is steps separated by "/", optionally led by "/" (from the
// document) or "//" ("//" also between steps: anywhere below). A step is an
// element name, "*", "@name", "@*", "text()", "node()", "comment()", "pi()",
// "." or "..", each followed by any number of predicates: "[n]" (the n-th,
// counted from 0, among the siblings that pass the step so far), "[@name]" or
// "[@name=\"value\"]" (single quotes too; blanks allowed around the parts).
// Anything else is malformed and selects nothing.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xml_dom.h"
#include "xml/dom_reader.h"

namespace kalinor {

/// One "[...]" of a step: a position, or an attribute test.
struct NodePathPredicate {
  /// The position counted from 0; nullopt for an attribute test.
  std::optional<std::size_t> position;
  /// The attribute tested (attribute tests only).
  std::wstring attribute;
  /// The value it must equal; nullopt when it only has to exist.
  std::optional<std::wstring> value;
};

/// One step of a compiled node path.
struct NodePathStep {
  enum class Axis { Child, Attribute, Self, Parent };
  enum class Test { Name, Any, Text, Comment, Instruction, AnyNode };
  /// True when "//" leads to the step: it looks below every node reached.
  bool descendants = false;
  Axis axis = Axis::Child;
  Test test = Test::Name;
  /// The element or attribute name (Test::Name only).
  std::wstring name;
  std::vector<NodePathPredicate> predicates;
};

/// A compiled node path.
struct NodePath {
  /// True when the path starts at the document rather than the context.
  bool absolute = false;
  std::vector<NodePathStep> steps;
};

/// Compiles text; nullopt when it is not a node path of the language above.
/// Never fails otherwise.
std::optional<NodePath> ParseNodePath(std::wstring_view text);

/// ParseNodePath through a small per-thread cache of the paths compiled
/// last (the settings classes ask for the same few paths store after store).
/// Null when text is malformed. Raises std::bad_alloc only.
std::shared_ptr<const NodePath> CompileNodePath(std::wstring_view text);

/// What a path selected: a node, or an attribute of an element.
struct NodePathMatch {
  /// The node; for an attribute, the element that holds it. Empty: no match.
  platform::DomNodeRef node;
  /// True when the match is an attribute of node.
  bool attribute = false;
};

/// The first node in document order that path selects from context (an
/// element or the document node), read through dom; an empty match when
/// none. Stops at the first match where the path allows (no "//" and no
/// ".."). Raises _com_error when a DOM primitive fails.
NodePathMatch SelectFirst(const DomReader& dom, const platform::DomNodeRef& context,
                          const NodePath& path);

}  // namespace kalinor
