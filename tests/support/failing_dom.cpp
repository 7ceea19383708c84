#include "support/failing_dom.h"

#include <algorithm>
#include <array>
#include <memory>

#include "xml/dom_reader.h"
#include "xml/xml_document.h"

namespace kalinor::testing {

namespace {

using platform::DomDocumentRef;
using platform::DomNodeRef;

constexpr std::size_t kPrimitiveCount = static_cast<std::size_t>(DomPrimitive::ChildNodeCount) + 1;

std::array<HRESULT, kPrimitiveCount>& Failures() {
  static std::array<HRESULT, kPrimitiveCount> failures{};
  return failures;
}

// Reads the real DOM but for the primitives FailDomPrimitive set failing,
// as they are set at each call.
class FailingDomReader final : public DomReader {
 public:
  DomNodeRef DocumentNode(const DomDocumentRef& document) const override {
    return Checked(DomPrimitive::DocumentNode, [&] { return DomReader::DocumentNode(document); });
  }
  platform::DomNodeKind NodeKind(const DomNodeRef& node) const override {
    return Checked(DomPrimitive::NodeKind, [&] { return DomReader::NodeKind(node); });
  }
  bool NodeNameIs(const DomNodeRef& node, std::wstring_view name) const override {
    return Checked(DomPrimitive::NodeNameIs, [&] { return DomReader::NodeNameIs(node, name); });
  }
  DomNodeRef FirstChild(const DomNodeRef& node) const override {
    return Checked(DomPrimitive::FirstChild, [&] { return DomReader::FirstChild(node); });
  }
  DomNodeRef NextSibling(const DomNodeRef& node) const override {
    return Checked(DomPrimitive::NextSibling, [&] { return DomReader::NextSibling(node); });
  }
  DomNodeRef PreviousSibling(const DomNodeRef& node) const override {
    return Checked(DomPrimitive::PreviousSibling, [&] { return DomReader::PreviousSibling(node); });
  }
  DomNodeRef ParentNode(const DomNodeRef& node) const override {
    return Checked(DomPrimitive::ParentNode, [&] { return DomReader::ParentNode(node); });
  }
  std::vector<std::wstring> AttributeNames(const DomNodeRef& node) const override {
    return Checked(DomPrimitive::AttributeNames, [&] { return DomReader::AttributeNames(node); });
  }
  bool IsElement(const DomNodeRef& node) const override {
    return Checked(DomPrimitive::IsElement, [&] { return DomReader::IsElement(node); });
  }
  std::wstring GetText(const DomNodeRef& node) const override {
    return Checked(DomPrimitive::GetText, [&] { return DomReader::GetText(node); });
  }
  std::optional<std::wstring> GetAttribute(const DomNodeRef& element,
                                           const std::wstring& name) const override {
    return Checked(DomPrimitive::GetAttribute,
                   [&] { return DomReader::GetAttribute(element, name); });
  }
  std::int32_t ChildNodeCount(const DomNodeRef& node) const override {
    return Checked(DomPrimitive::ChildNodeCount, [&] { return DomReader::ChildNodeCount(node); });
  }

 private:
  // What read gives, unless the test set primitive failing.
  template <typename Read>
  static auto Checked(DomPrimitive primitive, Read read) -> decltype(read()) {
    const HRESULT failure = Failures()[static_cast<std::size_t>(primitive)];
    if (failure != S_OK) throw _com_error(failure);
    return read();
  }
};

XMLDocument::Dom FailingDom() {
  return XMLDocument::Dom{platform::CreateDomDocument(), std::make_unique<FailingDomReader>()};
}

}  // namespace

void FailDomPrimitive(DomPrimitive primitive, HRESULT failure) {
  Failures()[static_cast<std::size_t>(primitive)] = failure;
  const bool anyFails =
      std::any_of(Failures().begin(), Failures().end(), [](HRESULT set) { return set != S_OK; });
  XMLDocument::SetDomDocumentFactoryForTesting(anyFails ? &FailingDom : nullptr);
}

}  // namespace kalinor::testing
