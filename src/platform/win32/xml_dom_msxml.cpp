// The XML DOM primitives over MSXML's DOMDocument, reached through COM. A
// DomDocumentRef holds one IXMLDOMDocument reference, a DomNodeRef one
// IXMLDOMNode reference. Every failing call raises _com_error with its
// HRESULT. COM must be initialised on the thread already: in the tool MAPI's
// start does it.
#include <windows.h>
#include <ole2.h>
#include <msxml2.h>
#include <shlwapi.h>

#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/hresult.h"
#include "platform/xml_names.h"
#include "platform/xml_dom.h"

namespace kalinor::platform {

namespace {

// MSXML's version-independent DOM document (MSXML 3 on current Windows), and
// the interfaces used, spelled out so that no import library must supply them.
constexpr CLSID kClsidDomDocument = {
    0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidXmlDomNode = {
    0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidXmlDomDocument = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidXmlDomDocument2 = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidXmlDomElement = {
    0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER |
// CLSCTX_REMOTE_SERVER.
constexpr DWORD kClassContext = 0x17;

// An interface's out-parameter slot in an InterfacePtr, as QueryInterface
// takes it.
template <typename Interface>
void** ReceiveVoid(InterfacePtr<Interface>& pointer) {
  return reinterpret_cast<void**>(pointer.Receive());
}

// A BSTR copy of text up to its first NUL (a DOM string ends there), freed
// when it leaves scope.
class Bstr {
 public:
  explicit Bstr(const std::wstring& text) : value_(SysAllocString(text.c_str())) {
    if (value_ == nullptr) throw _com_error(E_OUTOFMEMORY);
  }
  Bstr() = default;
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return value_; }
  BSTR* out() {
    SysFreeString(std::exchange(value_, nullptr));
    return &value_;
  }
  std::wstring Text() const {
    return value_ == nullptr ? std::wstring() : std::wstring(value_, SysStringLen(value_));
  }

 private:
  BSTR value_ = nullptr;
};

// A VARIANT cleared when it leaves scope.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  // Makes the variant a VT_BSTR copy of text up to its first NUL.
  static void Bstring(Variant& variant, const std::wstring& text) {
    VariantClear(&variant.value_);
    variant.value_.bstrVal = SysAllocString(text.c_str());
    if (variant.value_.bstrVal == nullptr) throw _com_error(E_OUTOFMEMORY);
    variant.value_.vt = VT_BSTR;
  }
  VARIANT& get() { return value_; }

 private:
  VARIANT value_;
};

void Check(HRESULT result) { ThrowIfDomFailed(result); }

IXMLDOMDocument* DocumentOf(const DomDocumentRef& reference) {
  if (!reference) throw _com_error(E_POINTER);
  return static_cast<IXMLDOMDocument*>(reference.Get());
}

IXMLDOMNode* NodeOf(const DomNodeRef& reference) {
  if (!reference) throw _com_error(E_POINTER);
  return static_cast<IXMLDOMNode*>(reference.Get());
}

// A DomNodeRef for a node the DOM handed out; empty when it handed out none.
DomNodeRef Adopt(InterfacePtr<IXMLDOMNode>& node) { return DomNodeRef(node.Detach()); }

// The node as an element; empty when it is no element. Any other failure of
// the query raises.
void QueryElement(IXMLDOMNode* node, InterfacePtr<IXMLDOMElement>& element) {
  const HRESULT result = node->QueryInterface(kIidXmlDomElement, ReceiveVoid(element));
  if (result == E_NOINTERFACE) {
    element.Reset();
    return;
  }
  Check(result);
  if (!element) throw _com_error(E_POINTER);
}

void RequireElement(IXMLDOMNode* node, InterfacePtr<IXMLDOMElement>& element) {
  QueryElement(node, element);
  if (!element) throw _com_error(E_FAIL);
}

DOMNodeType NodeType(IXMLDOMNode* node) {
  DOMNodeType type = NODE_INVALID;
  Check(node->get_nodeType(&type));
  return type;
}

// A document holds one root element: MSXML refuses a second itself, but
// not every implementation of the component does, and the saved file would
// not load again. Re-appending the root itself is no second one.
void RequireNoOtherRoot(IXMLDOMNode* document_node, IXMLDOMNode* element) {
  InterfacePtr<IXMLDOMDocument> document;
  Check(document_node->QueryInterface(kIidXmlDomDocument, ReceiveVoid(document)));
  InterfacePtr<IXMLDOMElement> root;
  Check(document->get_documentElement(root.Receive()));
  if (!root) return;
  InterfacePtr<IUnknown> root_identity;
  InterfacePtr<IUnknown> element_identity;
  Check(root->QueryInterface(kIidUnknown, ReceiveVoid(root_identity)));
  Check(element->QueryInterface(kIidUnknown, ReceiveVoid(element_identity)));
  if (root_identity.Get() != element_identity.Get()) throw _com_error(E_FAIL);
}

// Whether an element lies deeper than kMaxElementDepth below the document:
// one selection of the path "/*/*/..." one step longer.
bool IsTooDeep(IXMLDOMDocument* document) {
  std::wstring path;
  for (int level = 0; level <= kMaxElementDepth; ++level) path += L"/*";
  const Bstr query(path);
  InterfacePtr<IXMLDOMNode> found;
  Check(document->selectSingleNode(query.get(), found.Receive()));
  return static_cast<bool>(found);
}

void RemoveAllChildren(IXMLDOMNode* node) {
  for (;;) {
    InterfacePtr<IXMLDOMNode> child;
    Check(node->get_firstChild(child.Receive()));
    if (!child) return;
    InterfacePtr<IXMLDOMNode> removed;
    Check(node->removeChild(child.Get(), removed.Receive()));
  }
}

// A second-level property; false when this MSXML does not know it.
bool TrySetProperty(IXMLDOMDocument2* document, const wchar_t* name, VARIANT value) {
  const Bstr property{std::wstring(name)};
  return SUCCEEDED(document->setProperty(property.get(), value));
}

VARIANT BoolVariant(bool value) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_BOOL;
  variant.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return variant;
}

VARIANT IntVariant(long value) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_I4;
  variant.lVal = value;
  return variant;
}

// The settings files are read as data: nothing outside them is fetched, and
// what they can make the parser do is bounded.
void Harden(IXMLDOMDocument* document) {
  // No external entity or DTD is fetched: no network, no file outside the
  // document (MSXML 3.0 resolves them by default). Required.
  Check(document->put_resolveExternals(VARIANT_FALSE));
  // Element text as the text property gives it with white space not
  // preserved (the default, stated because the text rule relies on it).
  Check(document->put_preserveWhiteSpace(VARIANT_FALSE));
  InterfacePtr<IXMLDOMDocument2> second;
  if (FAILED(document->QueryInterface(kIidXmlDomDocument2, ReceiveVoid(second))) || !second) return;
  // An internal DTD keeps working (its entities are expanded), as MSXML
  // 3.0's default allows; 6.0 would refuse it. MSXML 3.0 and 6.0.
  TrySetProperty(second.Get(), L"ProhibitDTD", BoolVariant(false));
  // A backstop against runaway nesting (3.0 has no limit by default); the
  // bound itself is checked after the load, the same on both builds, since
  // how the component counts levels is its own. MSXML 3.0 and 6.0.
  TrySetProperty(second.Get(), L"MaxElementDepth", IntVariant(kMaxElementDepth + 1));
  // Size bounded, entity expansion included, in blocks of 1024 characters
  // (64 Mi characters). MSXML 3.0 and 6.0.
  TrySetProperty(second.Get(), L"MaxXMLSize", IntVariant(64 * 1024));
}

}  // namespace

void ReleaseDomObject(DomDocumentTag, void* object) noexcept {
  static_cast<IXMLDOMDocument*>(object)->Release();
}

void ReleaseDomObject(DomNodeTag, void* object) noexcept {
  static_cast<IXMLDOMNode*>(object)->Release();
}

DomDocumentRef CreateDomDocument() {
  InterfacePtr<IUnknown> object;
  Check(CoCreateInstance(kClsidDomDocument, nullptr, kClassContext, kIidUnknown,
                         ReceiveVoid(object)));
  if (!object) throw _com_error(E_POINTER);
  Check(OleRun(object.Get()));
  InterfacePtr<IXMLDOMDocument> document;
  Check(object->QueryInterface(kIidXmlDomDocument, ReceiveVoid(document)));
  if (!document) throw _com_error(E_POINTER);
  Harden(document.Get());
  return DomDocumentRef(document.Detach());
}

void SetSynchronousLoad(const DomDocumentRef& document) {
  Check(DocumentOf(document)->put_async(VARIANT_FALSE));
}

namespace {

// Whether bytes open with a UTF-8 byte-order mark and a declaration that
// names another encoding ("ISO-8859-1"): msxml3 under Wine would read them
// in the declared one.
bool HasUtf8MarkAgainstDeclaration(std::string_view bytes) {
  if (bytes.substr(0, 3) != "\xEF\xBB\xBF") return false;
  const std::string_view declaration = bytes.substr(3, bytes.find("?>"));
  if (declaration.substr(0, 5) != "<?xml") return false;
  std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return false;
  at = declaration.find_first_of("\"'", at);
  if (at == std::string_view::npos) return false;
  const std::string_view name = declaration.substr(at + 1, 5);
  return !(name.size() == 5 && (name[0] == 'U' || name[0] == 'u') &&
           (name[1] == 'T' || name[1] == 't') && (name[2] == 'F' || name[2] == 'f') &&
           name[3] == '-' && name[4] == '8');
}

// The UTF-8 text after the mark into text; false when it is not UTF-8.
bool DecodeUtf8(std::string_view bytes, Bstr& text) {
  bytes.remove_prefix(3);
  const int size = static_cast<int>(bytes.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return false;
  *text.out() = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (text.get() == nullptr) throw _com_error(E_OUTOFMEMORY);
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, text.get(),
                             length) == length;
}

// Loads bytes as a stream: given the path, the component would take it for
// a URL, and a folder named "100%25" or "a#b" would name another file.
HRESULT LoadBytes(IXMLDOMDocument* dom, const std::string& bytes, VARIANT_BOOL& parsed) {
  Variant source;
  source.get().punkVal = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                                           static_cast<UINT>(bytes.size()));
  if (source.get().punkVal == nullptr) throw _com_error(E_OUTOFMEMORY);
  source.get().vt = VT_UNKNOWN;
  return dom->load(source.get(), &parsed);
}

}  // namespace

bool LoadDomDocument(const DomDocumentRef& document, const std::wstring& path) {
  std::string bytes;
  if (ReadWholeFile(path, bytes).Failed()) bytes.clear();
  return LoadDomDocumentBytes(document, bytes);
}

bool LoadDomDocumentBytes(const DomDocumentRef& document, const std::string& file) {
  IXMLDOMDocument* dom = DocumentOf(document);
  // The file's bytes go to the component (LoadBytes). A file that cannot be
  // read gives an empty stream, whose load fails and empties the document,
  // as a failed load must.
  std::string bytes = file;
  if (bytes.size() > 0x7FFFFFFF || ExceedsAttributeBound(bytes)) bytes.clear();
  VARIANT_BOOL parsed = VARIANT_FALSE;
  HRESULT loaded = S_OK;
  if (HasUtf8MarkAgainstDeclaration(bytes)) {
    // The mark wins, as on the POSIX build: the text goes in decoded, and
    // the component then leaves the declared encoding aside.
    Bstr text;
    loaded = DecodeUtf8(bytes, text) ? dom->loadXML(text.get(), &parsed) : E_FAIL;
  } else {
    loaded = LoadBytes(dom, bytes, parsed);
  }
  if (SUCCEEDED(loaded) && parsed == VARIANT_TRUE && !IsTooDeep(dom)) return true;
  // MSXML empties the document when a load fails; not every implementation
  // of the component does when it loads from a stream. Whether the failure
  // came as a flag or as an HRESULT, the file was not loaded.
  RemoveAllChildren(dom);
  return false;
}


namespace {

// Whether bytes load back as the document (compared through the xml
// property): msxml3 under Wine writes a UTF-16 document as UTF-8 under its
// UTF-16 declaration, and a windows-1252 one as UTF-8 too, and either file
// would be lost.
bool LoadsBackAsTheDocument(IXMLDOMDocument* dom, const std::string& bytes) {
  try {
    const DomDocumentRef reloaded = CreateDomDocument();
    SetSynchronousLoad(reloaded);
    if (!LoadDomDocumentBytes(reloaded, bytes)) return false;
    Bstr original;
    Bstr again;
    Check(dom->get_xml(original.out()));
    Check(DocumentOf(reloaded)->get_xml(again.out()));
    return original.Text() == again.Text();
  } catch (const _com_error&) {
    return false;
  }
}

// The whole content of a memory stream.
std::string ContentOf(IStream* stream) {
  STATSTG facts{};
  Check(stream->Stat(&facts, STATFLAG_NONAME));
  if (facts.cbSize.QuadPart > 0x7FFFFFFF) throw _com_error(E_OUTOFMEMORY);
  std::string bytes(static_cast<std::size_t>(facts.cbSize.QuadPart), '\0');
  LARGE_INTEGER start{};
  Check(stream->Seek(start, STREAM_SEEK_SET, nullptr));
  ULONG read = 0;
  Check(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read));
  bytes.resize(read);
  return bytes;
}

}  // namespace

void SaveDomDocument(const DomDocumentRef& document, const std::wstring& path) {
  // The component would take a path cut short at a NUL.
  if (path.empty() || path.find(L'\0') != std::wstring::npos) throw _com_error(E_FAIL);
  if (WriteFileAtomically(path, SerializeDomDocument(document)).Failed()) throw _com_error(E_FAIL);
}

std::string SerializeDomDocument(const DomDocumentRef& document) {
  IXMLDOMDocument* dom = DocumentOf(document);
  // Saved into memory, in the document's own encoding, and never through a
  // file by name: the caller places the bytes through the folder it holds.
  IStream* stream = SHCreateMemStream(nullptr, 0);
  if (stream == nullptr) throw _com_error(E_OUTOFMEMORY);
  Variant target;
  target.get().punkVal = stream;  // the variant owns the reference
  target.get().vt = VT_UNKNOWN;
  Check(dom->save(target.get()));
  std::string bytes = ContentOf(stream);
  if (!LoadsBackAsTheDocument(dom, bytes)) throw _com_error(E_FAIL);
  return bytes;
}

DomNodeRef DocumentNode(const DomDocumentRef& document) {
  InterfacePtr<IXMLDOMNode> node;
  Check(DocumentOf(document)->QueryInterface(kIidXmlDomNode, ReceiveVoid(node)));
  if (!node) throw _com_error(E_POINTER);
  return Adopt(node);
}

DomNodeRef CopyNodeRef(const DomNodeRef& node) {
  if (!node) return DomNodeRef();
  NodeOf(node)->AddRef();
  return DomNodeRef(node.Get());
}

DomNodeKind NodeKind(const DomNodeRef& node) {
  switch (NodeType(NodeOf(node))) {
    case NODE_DOCUMENT:
      return DomNodeKind::Document;
    case NODE_ELEMENT:
      return DomNodeKind::Element;
    case NODE_ATTRIBUTE:
      return DomNodeKind::Attribute;
    case NODE_TEXT:
      return DomNodeKind::Text;
    case NODE_CDATA_SECTION:
      return DomNodeKind::CData;
    case NODE_COMMENT:
      return DomNodeKind::Comment;
    case NODE_PROCESSING_INSTRUCTION:
      return DomNodeKind::Instruction;
    default:
      return DomNodeKind::Other;
  }
}

bool NodeNameIs(const DomNodeRef& node, std::wstring_view name) {
  IXMLDOMNode* target = NodeOf(node);
  const DOMNodeType type = NodeType(target);
  if (type != NODE_ELEMENT && type != NODE_ATTRIBUTE && type != NODE_PROCESSING_INSTRUCTION)
    return false;
  Bstr nodeName;
  Check(target->get_nodeName(nodeName.out()));
  return std::wstring_view(nodeName.get() == nullptr ? L"" : nodeName.get(),
                           SysStringLen(nodeName.get())) == name;
}

DomNodeRef FirstChild(const DomNodeRef& node) {
  InterfacePtr<IXMLDOMNode> child;
  Check(NodeOf(node)->get_firstChild(child.Receive()));
  return Adopt(child);
}

DomNodeRef NextSibling(const DomNodeRef& node) {
  InterfacePtr<IXMLDOMNode> sibling;
  Check(NodeOf(node)->get_nextSibling(sibling.Receive()));
  return Adopt(sibling);
}

DomNodeRef PreviousSibling(const DomNodeRef& node) {
  InterfacePtr<IXMLDOMNode> sibling;
  Check(NodeOf(node)->get_previousSibling(sibling.Receive()));
  return Adopt(sibling);
}

std::vector<std::wstring> AttributeNames(const DomNodeRef& node) {
  IXMLDOMNode* target = NodeOf(node);
  std::vector<std::wstring> names;
  if (NodeType(target) != NODE_ELEMENT) return names;
  InterfacePtr<IXMLDOMNamedNodeMap> attributes;
  Check(target->get_attributes(attributes.Receive()));
  if (!attributes) return names;
  long length = 0;
  Check(attributes->get_length(&length));
  for (long i = 0; i < length; ++i) {
    InterfacePtr<IXMLDOMNode> attribute;
    Check(attributes->get_item(i, attribute.Receive()));
    if (!attribute) throw _com_error(E_POINTER);
    Bstr name;
    Check(attribute->get_nodeName(name.out()));
    std::wstring text = name.Text();
    // Namespace declarations are attributes to MSXML, not to libxml2.
    if (text == L"xmlns" || text.rfind(L"xmlns:", 0) == 0) continue;
    names.push_back(std::move(text));
  }
  return names;
}

bool IsElement(const DomNodeRef& node) {
  InterfacePtr<IXMLDOMElement> element;
  QueryElement(NodeOf(node), element);
  return static_cast<bool>(element);
}

DomNodeRef CreateElement(const DomDocumentRef& document, const std::wstring& name) {
  IXMLDOMDocument* dom = DocumentOf(document);
  // MSXML refuses such a name itself; not every implementation of the
  // component does, and the saved file would not load again.
  // A prefix would need a namespace declaration: the component writes
  // xmlns:p="", which no parser loads again.
  if (!IsUnprefixedXmlName(name)) throw _com_error(E_FAIL);
  Variant type;
  type.get().vt = VT_I4;
  type.get().lVal = NODE_ELEMENT;
  const Bstr element_name(name);
  const Bstr no_namespace(std::wstring{});
  InterfacePtr<IXMLDOMNode> made;
  Check(dom->createNode(type.get(), element_name.get(), no_namespace.get(), made.Receive()));
  if (!made) throw _com_error(E_POINTER);
  return Adopt(made);
}

void AppendChild(const DomNodeRef& parent, const DomNodeRef& child) {
  IXMLDOMNode* target = NodeOf(parent);
  IXMLDOMNode* node = NodeOf(child);
  if (NodeType(target) == NODE_DOCUMENT && NodeType(node) == NODE_ELEMENT)
    RequireNoOtherRoot(target, node);
  InterfacePtr<IXMLDOMNode> appended;
  Check(target->appendChild(node, appended.Receive()));
}

void RemoveChild(const DomNodeRef& parent, const DomNodeRef& child) {
  IXMLDOMNode* node = NodeOf(child);
  InterfacePtr<IXMLDOMNode> removed;
  Check(NodeOf(parent)->removeChild(node, removed.Receive()));
}

DomNodeRef ParentNode(const DomNodeRef& node) {
  InterfacePtr<IXMLDOMNode> parent;
  Check(NodeOf(node)->get_parentNode(parent.Receive()));
  return Adopt(parent);
}

std::wstring GetText(const DomNodeRef& node) {
  Bstr text;
  Check(NodeOf(node)->get_text(text.out()));
  return text.Text();
}

void SetText(const DomNodeRef& node, const std::wstring& text) {
  IXMLDOMNode* target = NodeOf(node);
  // MSXML would write such a character, and the file would not load again.
  if (!IsXmlText(text.substr(0, text.find(L'\0')))) throw _com_error(E_FAIL);
  const Bstr value(text);
  Check(target->put_text(value.get()));
}

std::optional<std::wstring> GetAttribute(const DomNodeRef& element, const std::wstring& name) {
  InterfacePtr<IXMLDOMElement> holder;
  RequireElement(NodeOf(element), holder);
  const Bstr attribute(name);
  Variant value;
  Check(holder->getAttribute(attribute.get(), &value.get()));
  if (value.get().vt != VT_BSTR) return std::nullopt;  // VT_NULL: no such attribute
  const BSTR text = value.get().bstrVal;
  return text == nullptr ? std::wstring() : std::wstring(text, SysStringLen(text));
}

void SetAttribute(const DomNodeRef& element, const std::wstring& name, const std::wstring& value) {
  InterfacePtr<IXMLDOMElement> holder;
  RequireElement(NodeOf(element), holder);
  if (!IsXmlText(value.substr(0, value.find(L'\0')))) throw _com_error(E_FAIL);  // as in SetText
  if (IsNamespaceDeclarationName(name)) throw _com_error(E_FAIL);
  const Bstr attribute(name);
  // An attribute the element has keeps its name; a new one needs a name
  // without a prefix, as in CreateElement.
  if (!IsUnprefixedXmlName(name)) {
    Variant present;
    Check(holder->getAttribute(attribute.get(), &present.get()));
    if (present.get().vt != VT_BSTR || !IsXmlName(name)) throw _com_error(E_FAIL);
  }
  Variant text;
  Variant::Bstring(text, value);
  Check(holder->setAttribute(attribute.get(), text.get()));
}

std::int32_t ChildNodeCount(const DomNodeRef& node) {
  InterfacePtr<IXMLDOMNodeList> children;
  Check(NodeOf(node)->get_childNodes(children.Receive()));
  if (!children) throw _com_error(E_POINTER);
  long length = 0;
  Check(children->get_length(&length));
  return static_cast<std::int32_t>(length);
}

}  // namespace kalinor::platform
