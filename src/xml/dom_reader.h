// DomReader: the DOM primitives that XMLDocument and the node-path query read
// a document through (changes go to platform/xml_dom.h directly). XMLDocument
// gets one with each DOM object its factory makes; this one calls the
// platform's primitives, and a test's may fail where the test asks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xml_dom.h"

namespace kalinor {

/// Each member is the platform primitive of the same name
/// (platform/xml_dom.h) and raises _com_error as it does.
class DomReader {
 public:
  DomReader() = default;
  virtual ~DomReader() = default;
  DomReader(const DomReader&) = delete;
  DomReader& operator=(const DomReader&) = delete;

  virtual platform::DomNodeRef DocumentNode(const platform::DomDocumentRef& document) const {
    return platform::DocumentNode(document);
  }
  virtual platform::DomNodeKind NodeKind(const platform::DomNodeRef& node) const {
    return platform::NodeKind(node);
  }
  virtual bool NodeNameIs(const platform::DomNodeRef& node, std::wstring_view name) const {
    return platform::NodeNameIs(node, name);
  }
  virtual platform::DomNodeRef FirstChild(const platform::DomNodeRef& node) const {
    return platform::FirstChild(node);
  }
  virtual platform::DomNodeRef NextSibling(const platform::DomNodeRef& node) const {
    return platform::NextSibling(node);
  }
  virtual platform::DomNodeRef PreviousSibling(const platform::DomNodeRef& node) const {
    return platform::PreviousSibling(node);
  }
  virtual platform::DomNodeRef ParentNode(const platform::DomNodeRef& node) const {
    return platform::ParentNode(node);
  }
  virtual std::vector<std::wstring> AttributeNames(const platform::DomNodeRef& node) const {
    return platform::AttributeNames(node);
  }
  virtual bool IsElement(const platform::DomNodeRef& node) const {
    return platform::IsElement(node);
  }
  virtual std::wstring GetText(const platform::DomNodeRef& node) const {
    return platform::GetText(node);
  }
  virtual std::optional<std::wstring> GetAttribute(const platform::DomNodeRef& element,
                                                   const std::wstring& name) const {
    return platform::GetAttribute(element, name);
  }
  virtual std::int32_t ChildNodeCount(const platform::DomNodeRef& node) const {
    return platform::ChildNodeCount(node);
  }
};

}  // namespace kalinor
