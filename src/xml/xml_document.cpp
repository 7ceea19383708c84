#include "xml/xml_document.h"

#include <vector>

#include "xml/node_path.h"
#include "xml/node_path_query.h"

namespace kalinor {

namespace {

XMLDocument::Dom PlatformDom() { return XMLDocument::Dom{platform::CreateDomDocument()}; }

XMLDocument::DomDocumentFactory g_domDocumentFactory = &PlatformDom;

// A DOM string ends at its first NUL.
std::wstring UpToFirstNul(std::wstring text) {
  const std::size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  return text;
}

}  // namespace

void XMLDocument::SetDomDocumentFactoryForTesting(DomDocumentFactory factory) {
  g_domDocumentFactory = factory != nullptr ? factory : &PlatformDom;
}

XMLDocument::XMLDocument() = default;

XMLDocument::~XMLDocument() = default;

HRESULT XMLDocument::CreateDocument() {
  DomDocument.Reset();
  m_reader.reset();
  try {
    Dom dom = g_domDocumentFactory();
    DomDocument = std::move(dom.document);
    m_reader = std::move(dom.reader);
  } catch (const _com_error& error) {
    return error.Error();
  }
  // A document that cannot be made synchronous or read is given up.
  try {
    if (!m_reader) throw _com_error(E_POINTER);
    platform::SetSynchronousLoad(DomDocument);
  } catch (const _com_error&) {
    DomDocument.Reset();
    m_reader.reset();
    return E_FAIL;
  }
  return S_OK;
}

template <typename Reading>
auto XMLDocument::Read(Reading reading) -> decltype(reading()) {
  try {
    return reading();
  } catch (const _com_error& error) {
    if (m_readFailure == S_OK) m_readFailure = error.Error();
    throw;
  }
}

HRESULT XMLDocument::Load(std::wstring filePath) {
  return LoadWith([&] { return platform::LoadDomDocument(DomDocument, filePath); });
}

HRESULT XMLDocument::LoadBytes(const std::string& bytes) {
  return LoadWith([&] { return platform::LoadDomDocumentBytes(DomDocument, bytes); });
}

template <typename Loading>
HRESULT XMLDocument::LoadWith(Loading loading) {
  m_readFailure = S_OK;
  if (!DomDocument) {
    const HRESULT created = CreateDocument();
    if (created != S_OK) return created;
  }
  try {
    return loading() ? S_OK : E_FAIL;
  } catch (const _com_error&) {
    return E_FAIL;
  }
}

HRESULT XMLDocument::Serialize(std::string& bytes) {
  bytes.clear();
  if (m_readFailure != S_OK) return E_FAIL;
  try {
    bytes = platform::SerializeDomDocument(DomDocument);
    return S_OK;
  } catch (const _com_error&) {
    return E_FAIL;
  }
}

HRESULT XMLDocument::Save(std::wstring filePath) {
  // What an operation took for absent may be there: the document in memory
  // is not known to be the file with the changes asked for.
  if (m_readFailure != S_OK) return E_FAIL;
  try {
    platform::SaveDomDocument(DomDocument, filePath);
    return S_OK;
  } catch (const _com_error&) {
    return E_FAIL;
  }
}

platform::DomNodeRef XMLDocument::SelectElement(const platform::DomNodeRef& context,
                                                const std::wstring& query) {
  const std::shared_ptr<const NodePath> path = CompileNodePath(query);
  // A malformed path fails as MSXML's selection fails on it: NodeExists and
  // the readers see no element, and CreateNodePath ends its walk.
  if (!path) throw _com_error(E_FAIL);
  return Read([&] {
    NodePathMatch match = SelectFirst(*m_reader, context, *path);
    if (!match.node || match.attribute || !m_reader->IsElement(match.node))
      return platform::DomNodeRef();
    return std::move(match.node);
  });
}

platform::DomNodeRef XMLDocument::SelectElement(const std::wstring& nodePath) {
  if (!DomDocument) throw _com_error(E_POINTER);
  return SelectElement(Read([&] { return m_reader->DocumentNode(DomDocument); }), nodePath);
}

bool XMLDocument::NodeExists(std::wstring nodePath) {
  try {
    return static_cast<bool>(SelectElement(nodePath));
  } catch (const _com_error&) {
    return false;
  }
}

HRESULT XMLDocument::SetNodeText(std::wstring nodePath, std::wstring text) {
  try {
    HRESULT result = S_OK;
    if (!NodeExists(nodePath)) result = CreateNodePath(nodePath);
    const platform::DomNodeRef element = SelectElement(nodePath);
    if (!element) return E_FAIL;
    platform::SetText(element, text);
    // A failure of CreateNodePath stands even though the text was set.
    return result;
  } catch (const _com_error&) {
    return E_FAIL;
  }
}

std::wstring XMLDocument::GetNodeText(std::wstring nodePath) {
  try {
    return TextOf(SelectElement(nodePath));
  } catch (const _com_error&) {
    return std::wstring();
  }
}

std::wstring XMLDocument::GetNodeAttribute(std::wstring nodePath, std::wstring name) {
  try {
    return AttributeOf(SelectElement(nodePath), name);
  } catch (const _com_error&) {
    return std::wstring();
  }
}

std::wstring XMLDocument::TextOf(const platform::DomNodeRef& element) {
  if (!element) return std::wstring();
  return UpToFirstNul(Read([&] { return m_reader->GetText(element); }));
}

std::wstring XMLDocument::AttributeOf(const platform::DomNodeRef& element,
                                      const std::wstring& name) {
  if (!element) return std::wstring();
  std::optional<std::wstring> value = Read([&] { return m_reader->GetAttribute(element, name); });
  return value ? UpToFirstNul(std::move(*value)) : std::wstring();
}

std::wstring XMLElementView::GetNodeText(const std::wstring& nodePath) const {
  try {
    return document_.TextOf(document_.SelectElement(element_, nodePath));
  } catch (const _com_error&) {
    return std::wstring();
  }
}

std::wstring XMLElementView::GetAttribute(const std::wstring& name) const {
  try {
    return document_.AttributeOf(element_, name);
  } catch (const _com_error&) {
    return std::wstring();
  }
}

void XMLDocument::VisitElements(const std::wstring& parentPath, const std::wstring& name,
                                const std::function<void(const XMLElementView&)>& visit) {
  try {
    const platform::DomNodeRef parent = SelectElement(parentPath);
    if (!parent) return;
    for (platform::DomNodeRef child = Read([&] { return m_reader->FirstChild(parent); }); child;
         child = Read([&] { return m_reader->NextSibling(child); })) {
      if (Read([&] { return m_reader->IsElement(child) && m_reader->NodeNameIs(child, name); }))
        visit(XMLElementView(*this, child));
    }
  } catch (const _com_error&) {
    // Kept as ReadFailure by Read: the caller asks it.
  }
}

std::int32_t XMLDocument::GetChildNodeCount(std::wstring nodePath) {
  try {
    const platform::DomNodeRef element = SelectElement(nodePath);
    if (!element) return -1;
    return Read([&] { return m_reader->ChildNodeCount(element); });
  } catch (const _com_error&) {
    return -1;
  }
}

HRESULT XMLDocument::RemoveNode(std::wstring nodePath) {
  try {
    const platform::DomNodeRef element = SelectElement(nodePath);
    if (!element) return E_FAIL;
    const platform::DomNodeRef parent = Read([&] { return m_reader->ParentNode(element); });
    if (parent && Read([&] { return m_reader->IsElement(parent); }))
      platform::RemoveChild(parent, element);
    else  // the root element
      platform::RemoveChild(Read([&] { return m_reader->DocumentNode(DomDocument); }), element);
    return S_OK;
  } catch (const _com_error&) {
    return E_FAIL;
  }
}

HRESULT XMLDocument::CreateNodePath(std::wstring nodePath) {
  if (!DomDocument) return E_FAIL;
  try {
    std::vector<std::wstring> stepNames;
    std::vector<std::wstring> predicates;
    SplitNodePath(nodePath, stepNames, predicates);
    const platform::DomNodeRef document = Read([&] { return m_reader->DocumentNode(DomDocument); });
    platform::DomNodeRef parent;
    for (std::size_t i = 0; i < stepNames.size(); ++i) {
      const platform::DomNodeRef& context = parent ? parent : document;
      // Reused only when it matches the step with its predicate. An index
      // step keeps "[n]" in its name, so making it fails: not a valid name.
      platform::DomNodeRef found = SelectElement(context, stepNames[i] + predicates[i]);
      if (!found) {
        found = platform::CreateElement(DomDocument, stepNames[i]);
        platform::AppendChild(context, found);
        SetPredicateAttributes(found, predicates[i]);
      }
      parent = std::move(found);
    }
    return S_OK;
  } catch (const _com_error&) {
    return E_FAIL;
  }
}

HRESULT XMLDocument::MoveNodeToEnd(std::wstring nodePath) {
  try {
    const platform::DomNodeRef element = SelectElement(nodePath);
    if (!element) return E_FAIL;
    const platform::DomNodeRef parent = Read([&] { return m_reader->ParentNode(element); });
    if (!parent || !Read([&] { return m_reader->IsElement(parent); }))
      return E_FAIL;  // the root stays
    platform::AppendChild(parent, element);
    return S_OK;
  } catch (const _com_error&) {
    return E_FAIL;
  }
}

}  // namespace kalinor
