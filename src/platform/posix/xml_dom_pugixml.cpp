// The XML DOM primitives over pugixml (char mode: the tree holds UTF-8).
// pugixml is more lenient than MSXML, so a load also checks what MSXML
// refuses and pugixml lets through: several root elements, a misplaced XML
// declaration, repeated attributes and broken entity or character references.
#include <pugixml.hpp>

#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>

#include "platform/files.h"
#include "platform/hresult.h"
#include "platform/posix/pugixml_dom.h"
#include "platform/xml_names.h"
#include "platform/text.h"
#include "platform/xml_dom.h"

namespace kalinor::platform {

using pugixml_dom::Document;
using pugixml_dom::NextInPreorder;
using pugixml_dom::Node;

namespace {

// Comments and processing instructions stay in the tree (they count as
// child nodes); white space alone between elements is dropped.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi |
                                   pugi::parse_declaration | pugi::parse_doctype;

Document& DocumentOf(const DomDocumentRef& reference) {
  if (!reference) throw _com_error(E_POINTER);
  return *static_cast<Document*>(reference.Object());
}

Node& NodeOf(const DomNodeRef& reference) {
  if (!reference) throw _com_error(E_POINTER);
  Node& node = *static_cast<Node*>(reference.Object());
  if (!node.node) throw _com_error(E_POINTER);  // removed earlier
  return node;
}

DomNodeRef MakeReference(const Node& node) {
  try {
    return DomNodeRef(new Node(node));
  } catch (const std::bad_alloc&) {
    throw _com_error(E_OUTOFMEMORY);
  }
}

bool IsElementNode(const Node& node) {
  return !node.attribute && node.node.type() == pugi::node_element;
}

void RequireElement(const Node& node) {
  if (!IsElementNode(node)) throw _com_error(E_FAIL);
}

// UTF-8 of text up to its first NUL, as a DOM string ends there.
std::string DomString(const std::wstring& text) {
  std::string bytes = ToUtf8(text);
  bytes.resize(std::strlen(bytes.c_str()));
  return bytes;
}

// --- Load checks ----------------------------------------------------------

// Control characters are let through (pugixml writes them as references, and
// a saved file must load again); NUL and surrogates are not characters.
bool IsReferableChar(unsigned long c) {
  return (c >= 0x1 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

// Length of the reference that starts at text[at] ('&'), or 0 when it is not
// one that the document can resolve.
std::size_t ReferenceLength(std::string_view text, std::size_t at, bool hasDoctype) {
  const std::size_t end = text.find(';', at);
  if (end == std::string_view::npos) return 0;
  const std::string_view body = text.substr(at + 1, end - at - 1);
  if (body.empty()) return 0;
  if (body[0] == '#') {
    const bool hex = body.size() > 1 && body[1] == 'x';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return 0;
    unsigned long code = 0;
    for (char d : digits) {
      int value;
      if (d >= '0' && d <= '9')
        value = d - '0';
      else if (hex && d >= 'a' && d <= 'f')
        value = d - 'a' + 10;
      else if (hex && d >= 'A' && d <= 'F')
        value = d - 'A' + 10;
      else
        return 0;
      code = code * (hex ? 16 : 10) + static_cast<unsigned long>(value);
    }
    return IsReferableChar(code) ? end - at + 1 : 0;
  }
  if (body == "lt" || body == "gt" || body == "amp" || body == "apos" || body == "quot")
    return end - at + 1;
  // Other entities can be declared only in a document type declaration.
  return hasDoctype && platform::IsXmlName(FromUtf8(body)) ? end - at + 1 : 0;
}

bool ReferencesAreValid(std::string_view text, bool hasDoctype) {
  for (std::size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
    if (ReferenceLength(text, at, hasDoctype) == 0) return false;
  }
  return true;
}

bool HasDoctype(const pugi::xml_document& tree) {
  for (pugi::xml_node child : tree.children())
    if (child.type() == pugi::node_doctype) return true;
  return false;
}

// The references as written in the file: pugixml leaves a reference it
// cannot resolve as plain text, where MSXML refuses the file.
bool RawReferencesAreValid(const std::string& bytes) {
  pugi::xml_document raw;
  if (!raw.load_buffer(bytes.data(), bytes.size(), kParseOptions & ~pugi::parse_escapes))
    return false;
  const bool hasDoctype = HasDoctype(raw);
  for (pugi::xml_node node = raw; node; node = NextInPreorder(node, raw)) {
    if (node.type() == pugi::node_pcdata && !ReferencesAreValid(node.value(), hasDoctype))
      return false;
    for (pugi::xml_attribute attribute : node.attributes())
      if (!ReferencesAreValid(attribute.value(), hasDoctype)) return false;
  }
  return true;
}

bool HasRepeatedAttribute(pugi::xml_node element) {
  std::unordered_set<std::string_view> names;
  for (pugi::xml_attribute attribute : element.attributes())
    if (!names.insert(attribute.name()).second) return true;
  return false;
}

// One root element; the XML declaration, if any, first; no text beside the
// root; no element with an attribute twice.
bool HasWellFormedStructure(const pugi::xml_document& tree) {
  int elements = 0;
  bool first = true;
  for (pugi::xml_node child : tree.children()) {
    switch (child.type()) {
      case pugi::node_element:
        ++elements;
        break;
      case pugi::node_declaration:
        if (!first) return false;
        break;
      case pugi::node_doctype:
        if (elements > 0) return false;
        break;
      case pugi::node_pcdata:
      case pugi::node_cdata:
        return false;
      default:
        break;
    }
    first = false;
  }
  if (elements != 1) return false;
  for (pugi::xml_node node = tree; node; node = NextInPreorder(node, tree))
    if (node.type() == pugi::node_element && HasRepeatedAttribute(node)) return false;
  return true;
}

bool StartsWithByteOrderMark(const std::string& bytes, pugi::xml_encoding encoding) {
  std::string_view mark;
  switch (encoding) {
    case pugi::encoding_utf8:
      mark = "\xEF\xBB\xBF";
      break;
    case pugi::encoding_utf16_le:
      mark = "\xFF\xFE";
      break;
    case pugi::encoding_utf16_be:
      mark = "\xFE\xFF";
      break;
    case pugi::encoding_utf32_le:
      mark = std::string_view("\xFF\xFE\0\0", 4);
      break;
    case pugi::encoding_utf32_be:
      mark = std::string_view("\0\0\xFE\xFF", 4);
      break;
    default:
      return false;
  }
  return std::string_view(bytes).substr(0, mark.size()) == mark;
}

void MakeEmpty(Document& document) {
  document.tree.reset();
  document.encoding = pugi::encoding_utf8;
  document.byteOrderMark = false;
  document.builtFromNothing = true;
}

// --- Save -----------------------------------------------------------------

class StringWriter : public pugi::xml_writer {
 public:
  void write(const void* data, std::size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
  }
  std::string bytes;
};

// The code point of the UTF-8 sequence at text[at], and its length; a byte
// that starts no valid sequence stands for itself.
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = lead < 0x80           ? 1
                       : (lead >> 5) == 0x6  ? 2
                       : (lead >> 4) == 0xE  ? 3
                       : (lead >> 3) == 0x1E ? 4
                                             : 0;
  if (length <= 1 || at + length > text.size()) return {lead, 1};
  char32_t code = lead & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return {lead, 1};
    code = (code << 6) | (next & 0x3F);
  }
  // Overlong forms, surrogates and what lies past Unicode are no characters.
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
    return {lead, 1};
  return {code, length};
}

bool FitsLatin1(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto [code, length] = DecodeUtf8(text, at);
    if (code > 0xFF) return false;
    at += length;
  }
  return true;
}

// Names, comments, instructions and CDATA have no way to write a character
// that ISO-8859-1 lacks; text and attribute values do (a character reference).
bool FitsLatin1Document(const pugi::xml_document& tree) {
  for (pugi::xml_node node = tree; node; node = NextInPreorder(node, tree)) {
    const pugi::xml_node_type type = node.type();
    if (!FitsLatin1(node.name())) return false;
    if (type != pugi::node_pcdata && !FitsLatin1(node.value())) return false;
    for (pugi::xml_attribute attribute : node.attributes())
      if (!FitsLatin1(attribute.name())) return false;
  }
  return true;
}

std::string Utf8ToLatin1WithReferences(std::string_view text) {
  std::string latin1;
  latin1.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto [code, length] = DecodeUtf8(text, at);
    if (code <= 0xFF)
      latin1 += static_cast<char>(code);
    else
      latin1 += "&#" + std::to_string(static_cast<unsigned long>(code)) + ";";
    at += length;
  }
  return latin1;
}

// Indentation grows with depth on every line; a deep document is written
// without it, or its file would grow with the square of its depth.
bool IsShallow(const pugi::xml_document& tree) {
  constexpr int kDeepestIndented = 64;
  int depth = 0;
  for (pugi::xml_node node = tree.first_child(); node;) {
    if (node.first_child()) {
      if (++depth > kDeepestIndented) return false;
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) {
      node = node.parent();
      --depth;
      if (node == tree) return true;
    }
    if (node) node = node.next_sibling();
  }
  return true;
}

std::string SerializedDocument(const Document& document) {
  unsigned flags = IsShallow(document.tree) ? pugi::format_indent : pugi::format_raw;
  if (!document.builtFromNothing) flags |= pugi::format_no_declaration;
  if (document.byteOrderMark) flags |= pugi::format_write_bom;
  StringWriter writer;
  if (document.encoding == pugi::encoding_latin1) {
    // pugixml writes '?' for what ISO-8859-1 lacks; that would lose text.
    if (!FitsLatin1Document(document.tree)) throw _com_error(E_FAIL);
    document.tree.save(writer, "\t", flags, pugi::encoding_utf8);
    return Utf8ToLatin1WithReferences(writer.bytes);
  }
  document.tree.save(writer, "\t", flags, document.encoding);
  return std::move(writer.bytes);
}

// pugixml frees a subtree recursively, one stack frame a level; a deep
// subtree would overflow the stack. Taking it down leaf by leaf needs none.
void RemoveAllChildren(pugi::xml_node top) {
  pugi::xml_node node = top;
  for (;;) {
    if (pugi::xml_node child = node.first_child()) {
      node = child;
      continue;
    }
    if (node == top) return;
    pugi::xml_node parent = node.parent();
    parent.remove_child(node);
    node = parent;
  }
}

void AppendAllText(pugi::xml_node top, std::string& text) {
  for (pugi::xml_node node = top; node; node = NextInPreorder(node, top))
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) text += node.value();
}

}  // namespace

void ReleaseDomObject(DomDocumentTag, void* object) noexcept {
  delete static_cast<Document*>(object);
}

void ReleaseDomObject(DomNodeTag, void* object) noexcept {
  auto* node = static_cast<Node*>(object);
  // An element made but never appended goes with its last reference.
  if (node->unattached && node->node) node->node.parent().remove_child(node->node);
  delete node;
}

DomDocumentRef CreateDomDocument() {
  try {
    return DomDocumentRef(new Document);
  } catch (const std::bad_alloc&) {
    throw _com_error(E_OUTOFMEMORY);
  }
}

void SetSynchronousLoad(const DomDocumentRef& document) {
  DocumentOf(document);  // pugixml loads synchronously anyway
}

bool LoadDomDocument(const DomDocumentRef& reference, const std::wstring& path) {
  Document& document = DocumentOf(reference);
  MakeEmpty(document);
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return false;
  const pugi::xml_parse_result parsed =
      document.tree.load_buffer(bytes.data(), bytes.size(), kParseOptions, pugi::encoding_auto);
  if (!parsed || !HasWellFormedStructure(document.tree) || !RawReferencesAreValid(bytes)) {
    MakeEmpty(document);
    return false;
  }
  document.encoding = parsed.encoding;
  document.byteOrderMark = StartsWithByteOrderMark(bytes, parsed.encoding);
  document.builtFromNothing = false;
  return true;
}

void SaveDomDocument(const DomDocumentRef& reference, const std::wstring& path) {
  const std::string bytes = SerializedDocument(DocumentOf(reference));
  if (!WriteFileAtomically(path, bytes)) throw _com_error(E_FAIL);
}

DomNodeRef DocumentNode(const DomDocumentRef& document) {
  return MakeReference(Node{DocumentOf(document).tree, {}});
}

DomNodeRef SelectSingleNode(const DomNodeRef& context, const std::wstring& query) {
  const Node found = pugixml_dom::SelectFirst(NodeOf(context), query);
  if (!found.node) return DomNodeRef();
  return MakeReference(found);
}

bool IsElement(const DomNodeRef& node) { return IsElementNode(NodeOf(node)); }

DomNodeRef CreateElement(const DomDocumentRef& document, const std::wstring& name) {
  Document& owner = DocumentOf(document);
  if (!platform::IsXmlName(name)) throw _com_error(E_FAIL);
  pugi::xml_node element = owner.unattached.append_child(pugi::node_element);
  if (!element || !element.set_name(ToUtf8(name).c_str())) throw _com_error(E_OUTOFMEMORY);
  Node made{element, {}};
  made.unattached = true;
  try {
    return MakeReference(made);
  } catch (...) {
    owner.unattached.remove_child(element);
    throw;
  }
}

void AppendChild(const DomNodeRef& parentReference, const DomNodeRef& childReference) {
  Node& parent = NodeOf(parentReference);
  Node& child = NodeOf(childReference);
  if (parent.attribute || child.attribute) throw _com_error(E_FAIL);
  const pugi::xml_node_type parentType = parent.node.type();
  const pugi::xml_node_type childType = child.node.type();
  if (parentType != pugi::node_element && parentType != pugi::node_document)
    throw _com_error(E_FAIL);
  if (childType == pugi::node_document || childType == pugi::node_declaration)
    throw _com_error(E_FAIL);
  if (parentType == pugi::node_document) {
    if (childType == pugi::node_pcdata || childType == pugi::node_cdata) throw _com_error(E_FAIL);
    // Only one root element.
    if (childType == pugi::node_element)
      for (pugi::xml_node existing : parent.node.children())
        if (existing.type() == pugi::node_element && existing != child.node)
          throw _com_error(E_FAIL);
  }
  if (child.unattached) {
    pugi::xml_node copy = parent.node.append_copy(child.node);
    if (!copy) throw _com_error(E_FAIL);
    child.node.parent().remove_child(child.node);
    child.node = copy;
    child.unattached = false;
  } else {
    pugi::xml_node moved = parent.node.append_move(child.node);
    if (!moved) throw _com_error(E_FAIL);
    child.node = moved;
  }
}

void RemoveChild(const DomNodeRef& parentReference, const DomNodeRef& childReference) {
  Node& parent = NodeOf(parentReference);
  Node& child = NodeOf(childReference);
  if (parent.attribute || child.attribute || child.node.parent() != parent.node)
    throw _com_error(E_INVALIDARG);
  RemoveAllChildren(child.node);
  if (!parent.node.remove_child(child.node)) throw _com_error(E_FAIL);
  child.node = pugi::xml_node();
  child.unattached = false;
}

DomNodeRef ParentNode(const DomNodeRef& reference) {
  const Node& node = NodeOf(reference);
  if (node.attribute || node.unattached || !node.node.parent()) return DomNodeRef();
  return MakeReference(Node{node.node.parent(), {}});
}

std::wstring GetText(const DomNodeRef& reference) {
  const Node& node = NodeOf(reference);
  if (node.attribute) return FromUtf8(node.attribute.value());
  const pugi::xml_node_type type = node.node.type();
  if (type != pugi::node_element && type != pugi::node_document) return FromUtf8(node.node.value());
  std::string text;
  AppendAllText(node.node, text);
  return FromUtf8(text);
}

void SetText(const DomNodeRef& reference, const std::wstring& text) {
  Node& node = NodeOf(reference);
  const std::string value = DomString(text);
  if (node.attribute) {
    if (!node.attribute.set_value(value.c_str())) throw _com_error(E_OUTOFMEMORY);
    return;
  }
  switch (node.node.type()) {
    case pugi::node_element: {
      RemoveAllChildren(node.node);
      if (value.empty()) return;
      pugi::xml_node textNode = node.node.append_child(pugi::node_pcdata);
      if (!textNode || !textNode.set_value(value.c_str())) throw _com_error(E_OUTOFMEMORY);
      return;
    }
    case pugi::node_pcdata:
    case pugi::node_cdata:
    case pugi::node_comment:
    case pugi::node_pi:
      if (!node.node.set_value(value.c_str())) throw _com_error(E_OUTOFMEMORY);
      return;
    default:
      throw _com_error(E_FAIL);
  }
}

std::optional<std::wstring> GetAttribute(const DomNodeRef& element, const std::wstring& name) {
  const Node& node = NodeOf(element);
  RequireElement(node);
  const pugi::xml_attribute attribute = node.node.attribute(DomString(name).c_str());
  if (!attribute) return std::nullopt;
  return FromUtf8(attribute.value());
}

void SetAttribute(const DomNodeRef& element, const std::wstring& name, const std::wstring& value) {
  Node& node = NodeOf(element);
  RequireElement(node);
  if (!platform::IsXmlName(name)) throw _com_error(E_FAIL);
  const std::string attributeName = ToUtf8(name);
  pugi::xml_attribute attribute = node.node.attribute(attributeName.c_str());
  if (!attribute) attribute = node.node.append_attribute(attributeName.c_str());
  if (!attribute || !attribute.set_value(DomString(value).c_str())) throw _com_error(E_OUTOFMEMORY);
}

std::int32_t ChildNodeCount(const DomNodeRef& reference) {
  const Node& node = NodeOf(reference);
  if (node.attribute) return *node.attribute.value() == '\0' ? 0 : 1;
  std::int32_t count = 0;
  for (pugi::xml_node child = node.node.first_child(); child && count < INT32_MAX;
       child = child.next_sibling())
    ++count;
  return count;
}

}  // namespace kalinor::platform
