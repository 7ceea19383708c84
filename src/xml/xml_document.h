// XMLDocument: the one way the settings classes reach their XML files. Each
// operation catches every DOM failure itself and returns a plain failure
// value; nothing escapes but CAtlException from the string type.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/hresult.h"
#include "platform/xml_dom.h"
#include "xml/dom_reader.h"

namespace kalinor {

class XMLDocument;

/// The element a walk (XMLDocument::VisitElements) stands on, read while the
/// walk lasts; the reads fail as the document's own readers do.
class XMLElementView {
 public:
  // It refers to the walk's own node: it must not outlive the visit.
  XMLElementView(const XMLElementView&) = delete;
  XMLElementView& operator=(const XMLElementView&) = delete;

  /// The text of the element the node path selects below this one; "" when
  /// there is none.
  std::wstring GetNodeText(const std::wstring& nodePath) const;
  /// This element's attribute value; "" when absent.
  std::wstring GetAttribute(const std::wstring& name) const;

 private:
  friend class XMLDocument;
  XMLElementView(XMLDocument& document, const platform::DomNodeRef& element)
      : document_(document), element_(element) {}
  XMLDocument& document_;
  const platform::DomNodeRef& element_;
};

class XMLDocument {
 public:
  XMLDocument();
  virtual ~XMLDocument();
  XMLDocument(const XMLDocument&) = delete;
  XMLDocument& operator=(const XMLDocument&) = delete;

  /// Loads the file, replacing the whole content, and forgets ReadFailure.
  /// S_OK when it was parsed; the creation failure when no DOM object could
  /// be made; else E_FAIL, leaving an empty document.
  [[nodiscard]] HRESULT Load(std::wstring filePath);
  /// Writes the whole document, replacing the file atomically. S_OK, or E_FAIL
  /// (the old file then stays whole); E_FAIL without writing once a read of
  /// the document failed (ReadFailure).
  [[nodiscard]] HRESULT Save(std::wstring filePath);
  /// Load over a file's bytes read already: the same results.
  [[nodiscard]] HRESULT LoadBytes(const std::string& bytes);
  /// The bytes Save would write, into bytes. S_OK, or E_FAIL (bytes then
  /// empty), also once a read of the document failed (ReadFailure).
  [[nodiscard]] HRESULT Serialize(std::string& bytes);
  /// True when the node path selects an element; false otherwise.
  bool NodeExists(std::wstring nodePath);
  /// Sets the element's text, creating missing elements along the path.
  /// S_OK; E_FAIL, or the failure of creating the path.
  HRESULT SetNodeText(std::wstring nodePath, std::wstring text);
  /// The element's text; "" when there is no element.
  std::wstring GetNodeText(std::wstring nodePath);
  /// The element's attribute value; "" when the attribute or element is absent.
  std::wstring GetNodeAttribute(std::wstring nodePath, std::wstring name);
  /// Number of child nodes of every kind; -1 when there is no element.
  std::int32_t GetChildNodeCount(std::wstring nodePath);
  /// Removes the element and its subtree. S_OK; E_FAIL when there is no element.
  HRESULT RemoveNode(std::wstring nodePath);
  /// Moves the element and its subtree to the end of its parent's children,
  /// so that a walk over many siblings can keep to the first one. S_OK;
  /// E_FAIL when there is no element or the document refuses.
  HRESULT MoveNodeToEnd(std::wstring nodePath);

  /// Calls visit with each child element named name of the element at
  /// parentPath, in document order, in one pass that changes nothing. A DOM
  /// failure ends the walk early and is kept as ReadFailure; nothing is
  /// visited when there is no such element.
  void VisitElements(const std::wstring& parentPath, const std::wstring& name,
                     const std::function<void(const XMLElementView&)>& visit);

  /// The first failure the DOM raised while an operation read the document
  /// (a navigation primitive, not a refused change) since the last Load;
  /// S_OK when none. The operation that met it returned its failure value
  /// ("no element" among them) although the element may well be there.
  HRESULT ReadFailure() const { return m_readFailure; }

  /// What the DOM factory makes: a DOM object, and the reader every read of
  /// it goes through (never null).
  struct Dom {
    platform::DomDocumentRef document;
    std::unique_ptr<const DomReader> reader = std::make_unique<const DomReader>();
  };

  /// Replaces how the DOM object is made (tests use it to make creation or a
  /// read fail); nullptr restores platform::CreateDomDocument with the
  /// platform's reader. A factory may raise _com_error, as creation does.
  using DomDocumentFactory = Dom (*)();
  static void SetDomDocumentFactoryForTesting(DomDocumentFactory factory);

 private:
  friend class XMLElementView;
  /// Makes a new DOM object into DomDocument and its reader into m_reader.
  /// S_OK; the creation's failure, or E_FAIL when it cannot be made
  /// synchronous or came without a reader (both then stay empty).
  HRESULT CreateDocument();
  /// Creates every missing element along the path. S_OK; E_FAIL on any DOM
  /// failure, keeping the elements made before it.
  HRESULT CreateNodePath(std::wstring nodePath);
  /// The element that query selects under context; empty when it selects
  /// none or no element. Raises _com_error on a DOM failure, and E_FAIL
  /// when query is no node path.
  platform::DomNodeRef SelectElement(const platform::DomNodeRef& context,
                                     const std::wstring& query);
  /// SelectElement from the document node. Raises _com_error as it does, and
  /// E_POINTER when there is no DOM object.
  platform::DomNodeRef SelectElement(const std::wstring& nodePath);
  /// GetNodeText and GetNodeAttribute of a selected element ("" for none).
  /// Raise _com_error on a DOM failure, kept as ReadFailure.
  std::wstring TextOf(const platform::DomNodeRef& element);
  std::wstring AttributeOf(const platform::DomNodeRef& element, const std::wstring& name);
  /// Runs reading, a read of the DOM; a failure it raises is kept as
  /// ReadFailure (the first one) and raised on.
  template <typename Reading>
  auto Read(Reading reading) -> decltype(reading());

  /// Runs loading (true when parsed) into a new or emptied DOM object,
  /// forgetting ReadFailure: Load's results.
  template <typename Loading>
  HRESULT LoadWith(Loading loading);

  /// The DOM document; empty until the first Load.
  platform::DomDocumentRef DomDocument;
  /// What DomDocument is read through; null while DomDocument is empty.
  std::unique_ptr<const DomReader> m_reader;
  /// See ReadFailure.
  HRESULT m_readFailure = S_OK;
};

}  // namespace kalinor
