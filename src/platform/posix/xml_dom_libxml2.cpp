// The XML DOM primitives over libxml2's tree, loaded as strictly as MSXML
// loads: well-formed and namespace-well-formed only, internal entities
// expanded, nothing external ever read, white space alone between elements
// dropped. A DomDocumentRef holds a Document; a DomNodeRef holds the
// xmlNode itself (the document node is the xmlDoc), so references cost
// nothing and need no release.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/encoding.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/hresult.h"
#include "platform/text.h"
#include "platform/xml_dom.h"
#include "platform/xml_names.h"

namespace kalinor::platform {

namespace {

// Internal entities expanded (NOENT) and a DOCTYPE's attribute defaults
// applied (DTDATTR), as MSXML does; no network; no error printed. Neither
// XML_PARSE_DTDLOAD (no external DTD) nor XML_PARSE_HUGE (entity expansion
// and depth stay bounded). NOBLANKS drops most layout white space while
// parsing (cheaper than making and freeing its nodes); DropBlankText takes
// the rest.
constexpr int kParseOptions = XML_PARSE_NOENT | XML_PARSE_DTDATTR | XML_PARSE_NONET |
                              XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS;

struct Document {
  ~Document() { Clear(); }
  void Clear() {
    for (xmlNodePtr node : unattached) xmlFreeNode(node);
    unattached.clear();
    if (tree != nullptr) xmlFreeDoc(std::exchange(tree, nullptr));
  }

  xmlDocPtr tree = nullptr;
  /// Elements made by CreateElement and not yet appended; freed with the
  /// document.
  std::vector<xmlNodePtr> unattached;
  /// The encoding to save in; empty for a document built from nothing (UTF-8).
  std::string encoding;
  /// The encoding the declaration names, written back as it was; empty when
  /// it names none.
  std::string declaredEncoding;
  /// The byte-order mark the loaded file began with, written back before the
  /// saved bytes.
  std::string byteOrderMark;
  /// Whether the file had an XML declaration; a document built from nothing
  /// gets one.
  bool declaration = true;
};

// Nothing outside the document is ever read: every external entity, DTD or
// URL that a document names is refused.
xmlParserInputPtr RefuseExternal(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

void IgnoreError(void*, const char*, ...) {}
void IgnoreStructuredError(void*, xmlErrorPtr) {}

void InitialiseLibxml2() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlSetExternalEntityLoader(RefuseExternal);
    xmlSetGenericErrorFunc(nullptr, IgnoreError);
    xmlSetStructuredErrorFunc(nullptr, IgnoreStructuredError);
  });
}

Document& DocumentOf(const DomDocumentRef& reference) {
  if (!reference) throw _com_error(E_POINTER);
  return *static_cast<Document*>(reference.Get());
}

xmlNodePtr NodeOf(const DomNodeRef& reference) {
  if (!reference) throw _com_error(E_POINTER);
  return static_cast<xmlNodePtr>(reference.Get());
}

DomNodeRef Refer(xmlNodePtr node) { return DomNodeRef(node); }

const char* Chars(const xmlChar* text) { return reinterpret_cast<const char*>(text); }
const xmlChar* XmlChars(const std::string& text) {
  return reinterpret_cast<const xmlChar*>(text.c_str());
}

// UTF-8 of text up to its first NUL, as a DOM string ends there.
std::string DomString(const std::wstring& text) {
  if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return c > 0 && c < 0x80; }))
    return std::string(text.begin(), text.end());
  std::string bytes = ToUtf8(text);
  bytes.resize(std::strlen(bytes.c_str()));
  return bytes;
}

// UTF-8 from the tree as wide text; ASCII, the usual case, widened directly.
std::wstring Wide(std::string_view utf8) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; }))
    return std::wstring(utf8.begin(), utf8.end());
  return FromUtf8(utf8);
}

// The text libxml2 hands out, freed here.
std::wstring TakeText(xmlChar* text) {
  std::wstring decoded = text == nullptr ? std::wstring() : Wide(Chars(text));
  xmlFree(text);
  return decoded;
}

std::string QualifiedName(const xmlNs* ns, const xmlChar* name) {
  std::string qualified;
  if (ns != nullptr && ns->prefix != nullptr) qualified = std::string(Chars(ns->prefix)) + ":";
  return qualified + Chars(name);
}

// Whether a node's name, with its prefix if it has one, is name.
bool HasQualifiedName(const xmlNs* ns, const xmlChar* local, std::string_view name) {
  if (ns != nullptr && ns->prefix != nullptr) {
    const std::string_view prefix = Chars(ns->prefix);
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix ||
        name[prefix.size()] != ':')
      return false;
    name.remove_prefix(prefix.size() + 1);
  }
  return name == Chars(local);
}

xmlAttrPtr FindAttribute(xmlNodePtr element, const std::string& name) {
  for (xmlAttrPtr attribute = element->properties; attribute != nullptr;
       attribute = attribute->next)
    if (HasQualifiedName(attribute->ns, attribute->name, name)) return attribute;
  return nullptr;
}

xmlNodePtr RequireElement(const DomNodeRef& reference) {
  xmlNodePtr node = NodeOf(reference);
  if (node->type != XML_ELEMENT_NODE) throw _com_error(E_FAIL);
  return node;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsBlank(const xmlChar* text) {
  for (; text != nullptr && *text != 0; ++text)
    if (!IsBlank(static_cast<char>(*text))) return false;
  return true;
}

// The node after node in a pre-order walk of top's subtree. Only the
// document and elements are entered: a DTD's declarations are no content.
xmlNodePtr NextInPreorder(xmlNodePtr node, xmlNodePtr top) {
  const bool container = node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE;
  if (container && node->children != nullptr) return node->children;
  while (node != nullptr && node != top) {
    if (node->next != nullptr) return node->next;
    node = node->parent;
  }
  return nullptr;
}

// MSXML with preserveWhiteSpace false keeps no text node that is only white
// space, except where xml:space="preserve" applies.
void DropBlankText(xmlDocPtr tree) {
  xmlNodePtr top = reinterpret_cast<xmlNodePtr>(tree);
  for (xmlNodePtr node = top; node != nullptr;) {
    xmlNodePtr next = NextInPreorder(node, top);
    if (node->type == XML_TEXT_NODE && IsBlank(node->content) &&
        xmlNodeGetSpacePreserve(node->parent) != 1) {
      // The next node in pre-order is not below a text node, so it stays valid.
      xmlUnlinkNode(node);
      xmlFreeNode(node);
    }
    node = next;
  }
}

std::string_view ByteOrderMarkOf(std::string_view bytes) {
  for (std::string_view mark :
       {std::string_view("\xEF\xBB\xBF"), std::string_view("\0\0\xFE\xFF", 4),
        std::string_view("\xFF\xFE\0\0", 4), std::string_view("\xFE\xFF"),
        std::string_view("\xFF\xFE")})
    if (bytes.substr(0, mark.size()) == mark) return bytes.substr(0, mark.size());
  return {};
}

// The XML declaration's first characters as ASCII, in any of the byte
// widths a document may come in (after its byte-order mark).
std::string DeclarationStart(std::string_view bytes) {
  bytes.remove_prefix(ByteOrderMarkOf(bytes).size());
  std::string ascii;
  for (char c : bytes.substr(0, 512))
    if (c != '\0') ascii += c;
  if (ascii.rfind("<?xml", 0) != 0 || ascii.size() <= 5 || !IsBlank(ascii[5])) return {};
  return ascii.substr(0, ascii.find("?>"));
}

bool StartsWithDeclaration(std::string_view bytes) { return !DeclarationStart(bytes).empty(); }

// The encoding the XML declaration names; empty when it names none.
std::string DeclaredEncoding(std::string_view bytes) {
  const std::string declaration = DeclarationStart(bytes);
  std::size_t at = declaration.find("encoding");
  if (at == std::string::npos) return {};
  at = declaration.find_first_of("\"'", declaration.find('=', at));
  if (at == std::string::npos) return {};
  const std::size_t end = declaration.find(declaration[at], at + 1);
  if (end == std::string::npos) return {};
  return declaration.substr(at + 1, end - at - 1);
}

// The Unicode encoding that a byte-order mark shows, or that the first
// character ("<" in UTF-16 or -32 without a mark) shows; "" for any other.
// It wins over what the declaration names, as MSXML reads it.
std::string UnicodeEncodingOf(std::string_view bytes) {
  using namespace std::string_view_literals;
  const auto starts = [&](std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
  };
  if (starts("\xEF\xBB\xBF"sv)) return "UTF-8";
  if (starts("\xFF\xFE\0\0"sv) || starts("<\0\0\0"sv)) return "UCS-4LE";
  if (starts("\0\0\xFE\xFF"sv) || starts("\0\0\0<"sv)) return "UCS-4BE";
  if (starts("\xFF\xFE"sv) || starts("<\0"sv)) return "UTF-16LE";
  if (starts("\xFE\xFF"sv) || starts("\0<"sv)) return "UTF-16BE";
  return {};
}

// The encoding a file is saved in: the Unicode encoding its mark or first
// character shows (byte order included; a mark is written back by hand, and
// none is added); else the one it declared; else UTF-8.
std::string EncodingOf(xmlDocPtr tree, std::string_view bytes) {
  std::string unicode = UnicodeEncodingOf(bytes);
  if (!unicode.empty()) return unicode;
  if (tree->encoding != nullptr) return Chars(tree->encoding);
  return "UTF-8";
}

using Encoder = std::unique_ptr<xmlCharEncodingHandler, decltype(&xmlCharEncCloseFunc)>;

// libxml2's writer for the encoding (through iconv for most); empty when
// there is none.
Encoder FindEncoder(const std::string& encoding) {
  return Encoder(xmlFindCharEncodingHandler(encoding.c_str()), &xmlCharEncCloseFunc);
}

// text (UTF-8) in the encoder's encoding; a character it lacks becomes a
// character reference.
std::string Encoded(xmlCharEncodingHandlerPtr encoder, const std::string& text) {
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> in(xmlBufferCreate(), &xmlBufferFree);
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> out(xmlBufferCreate(), &xmlBufferFree);
  if (!in || !out) throw _com_error(E_OUTOFMEMORY);
  xmlBufferCat(in.get(), XmlChars(text));
  if (xmlCharEncOutFunc(encoder, out.get(), in.get()) < 0) throw _com_error(E_FAIL);
  return std::string(Chars(xmlBufferContent(out.get())),
                     static_cast<std::size_t>(xmlBufferLength(out.get())));
}

std::string EncodedDeclaration(const Document& document) {
  const xmlDocPtr tree = document.tree;
  std::string text = "<?xml version=\"";
  text += tree->version != nullptr ? Chars(tree->version) : "1.0";
  text += "\"";
  if (!document.declaredEncoding.empty()) text += " encoding=\"" + document.declaredEncoding + "\"";
  if (tree->standalone == 0 || tree->standalone == 1)
    text += tree->standalone == 1 ? " standalone=\"yes\"" : " standalone=\"no\"";
  text += "?>\n";
  if (document.encoding.empty()) return text;
  const Encoder encoder = FindEncoder(document.encoding);
  if (!encoder) throw _com_error(E_FAIL);
  return Encoded(encoder.get(), text);
}

void MakeEmpty(Document& document) {
  document.Clear();
  document.tree = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
  if (document.tree == nullptr) throw _com_error(E_OUTOFMEMORY);
  document.tree->_private = &document;
  document.encoding.clear();
  document.declaredEncoding.clear();
  document.byteOrderMark.clear();
  document.declaration = true;
}

// Whether an element lies deeper than kMaxElementDepth below the document.
bool IsTooDeep(xmlDocPtr tree) {
  xmlNodePtr top = reinterpret_cast<xmlNodePtr>(tree);
  int depth = 0;  // of node below the document
  for (xmlNodePtr node = top; node != nullptr;) {
    if (node->type == XML_ELEMENT_NODE && depth > kMaxElementDepth) return true;
    const bool container = node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE;
    if (container && node->children != nullptr) {
      node = node->children;
      ++depth;
      continue;
    }
    while (node != nullptr && node != top && node->next == nullptr) {
      node = node->parent;
      --depth;
    }
    node = node == nullptr || node == top ? nullptr : node->next;
  }
  return false;
}

xmlDocPtr Parse(const std::string& bytes, const std::wstring& path) {
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX) || ExceedsAttributeBound(bytes))
    return nullptr;
  std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> context(xmlNewParserCtxt(),
                                                                       &xmlFreeParserCtxt);
  if (!context) throw _com_error(E_OUTOFMEMORY);
  // The file name serves only as the document's URL in messages.
  const std::string url = ToUtf8(path);
  // A byte-order mark wins over the declaration (libxml2 would switch to
  // the declared encoding); UCS-4 is left to libxml2's own detection.
  std::string unicode = UnicodeEncodingOf(bytes);
  if (unicode.rfind("UCS", 0) == 0) unicode.clear();
  xmlDocPtr tree =
      xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()), url.c_str(),
                        unicode.empty() ? nullptr : unicode.c_str(), kParseOptions);
  if (tree != nullptr && (!context->wellFormed || !context->nsWellFormed || IsTooDeep(tree))) {
    xmlFreeDoc(tree);
    return nullptr;
  }
  return tree;
}

bool IsAncestorOrSelf(xmlNodePtr candidate, xmlNodePtr node) {
  for (; node != nullptr; node = node->parent)
    if (node == candidate) return true;
  return false;
}

void RemoveAllChildren(xmlNodePtr node) {
  while (xmlNodePtr child = node->children) {
    xmlUnlinkNode(child);
    xmlFreeNode(child);
  }
}

// MSXML's text property with preserveWhiteSpace false: the text and CDATA
// below top joined as they are, then the white space at the two ends of the
// result trimmed, where it comes from text that xml:space="preserve" does
// not cover (CDATA is never trimmed).
std::string TextOf(xmlNodePtr top) {
  struct Piece {
    std::string_view text;
    bool trimmable;
  };
  std::vector<Piece> pieces;
  for (xmlNodePtr node = top; node != nullptr; node = NextInPreorder(node, top)) {
    if (node->type == XML_CDATA_SECTION_NODE)
      pieces.push_back({Chars(node->content), false});
    else if (node->type == XML_TEXT_NODE)
      pieces.push_back({Chars(node->content), xmlNodeGetSpacePreserve(node->parent) != 1});
  }
  // Leading white space, piece by piece until a piece keeps something.
  for (Piece& piece : pieces) {
    if (!piece.trimmable) break;
    while (!piece.text.empty() && IsBlank(piece.text.front())) piece.text.remove_prefix(1);
    if (!piece.text.empty()) break;
  }
  for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
    if (!it->trimmable) break;
    while (!it->text.empty() && IsBlank(it->text.back())) it->text.remove_suffix(1);
    if (!it->text.empty()) break;
  }
  std::string text;
  for (const Piece& piece : pieces) text += piece.text;
  return text;
}

}  // namespace

void ReleaseDomObject(DomDocumentTag, void* object) noexcept {
  delete static_cast<Document*>(object);
}

void ReleaseDomObject(DomNodeTag, void*) noexcept {
  // Nodes belong to their document.
}

DomDocumentRef CreateDomDocument() {
  InitialiseLibxml2();
  try {
    auto document = std::make_unique<Document>();
    MakeEmpty(*document);
    return DomDocumentRef(document.release());
  } catch (const std::bad_alloc&) {
    throw _com_error(E_OUTOFMEMORY);
  }
}

void SetSynchronousLoad(const DomDocumentRef& document) {
  DocumentOf(document);  // libxml2 loads synchronously anyway
}

bool LoadDomDocument(const DomDocumentRef& reference, const std::wstring& path) {
  std::string bytes;
  if (ReadWholeFile(path, bytes).Failed()) bytes.clear();
  return LoadDomDocumentBytes(reference, bytes);
}

bool LoadDomDocumentBytes(const DomDocumentRef& reference, const std::string& bytes) {
  Document& document = DocumentOf(reference);
  MakeEmpty(document);
  if (bytes.empty()) return false;
  xmlDocPtr tree = Parse(bytes, L"");
  if (tree == nullptr) return false;
  DropBlankText(tree);
  document.Clear();
  document.tree = tree;
  tree->_private = &document;
  const std::string_view mark = ByteOrderMarkOf(bytes);
  document.encoding = EncodingOf(tree, bytes);
  document.declaredEncoding = DeclaredEncoding(bytes);
  document.byteOrderMark = std::string(mark);
  document.declaration = StartsWithDeclaration(bytes);
  return true;
}

bool HasTextChild(xmlNodePtr node) {
  for (xmlNodePtr child = node->children; child != nullptr; child = child->next)
    if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) return true;
  return false;
}

// libxml2's indenting writer leaves an element's content as it is only when
// a child of it is text. For the length of one write, an empty text node
// (which writes nothing) goes first into each element with children under
// xml:space="preserve" that has no text child: its content keeps its
// layout, as the attribute asks.
class PreservedSpaceMarks {
 public:
  explicit PreservedSpaceMarks(xmlDocPtr tree) {
    xmlNodePtr top = reinterpret_cast<xmlNodePtr>(tree);
    for (xmlNodePtr node = top; node != nullptr; node = NextInPreorder(node, top)) {
      if (node->type != XML_ELEMENT_NODE || node->children == nullptr || HasTextChild(node) ||
          xmlNodeGetSpacePreserve(node) != 1)
        continue;
      xmlNodePtr mark = xmlNewDocText(tree, XmlChars(""));
      if (mark == nullptr) throw _com_error(E_OUTOFMEMORY);
      marks_.push_back(mark);
      xmlAddPrevSibling(node->children, mark);
    }
  }
  ~PreservedSpaceMarks() {
    for (xmlNodePtr mark : marks_) {
      xmlUnlinkNode(mark);
      xmlFreeNode(mark);
    }
  }
  PreservedSpaceMarks(const PreservedSpaceMarks&) = delete;
  PreservedSpaceMarks& operator=(const PreservedSpaceMarks&) = delete;

 private:
  std::vector<xmlNodePtr> marks_;
};

// The tree as the save writes it below the declaration, in encoding; a
// character the encoding lacks is written as a character reference.
std::string Serialized(xmlDocPtr tree, const char* encoding) {
  const PreservedSpaceMarks marks(tree);
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), &xmlBufferFree);
  if (!buffer) throw _com_error(E_OUTOFMEMORY);
  // The default exact growth copies the whole buffer at every write: quadratic.
  xmlBufferSetAllocationScheme(buffer.get(), XML_BUFFER_ALLOC_DOUBLEIT);
  constexpr int options = XML_SAVE_FORMAT | XML_SAVE_NO_DECL;
  xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), encoding, options);
  if (save == nullptr) throw _com_error(E_FAIL);  // an encoding iconv cannot write
  const long written = xmlSaveDoc(save, tree);
  if (xmlSaveClose(save) < 0 || written < 0) throw _com_error(E_FAIL);
  return std::string(Chars(xmlBufferContent(buffer.get())),
                     static_cast<std::size_t>(xmlBufferLength(buffer.get())));
}

// Whether bytes, loaded as Load loads a file, give the document back. Every
// save is checked: iconv's writer under some names silently ends or drops
// the text at a character the encoding lacks; a name the encoding lacks
// cannot be written at all (a character reference is no name); a
// declaration not written in ASCII (UTF-7, EBCDIC) cannot be found; and a
// mark, a declaration and an encoding must agree.
// utf8Tree is the document's tree as Serialized writes it in UTF-8.
bool LoadsBackAsTheDocument(const std::string& bytes, const std::string& utf8Tree) {
  const std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> reloaded(Parse(bytes, L""), &xmlFreeDoc);
  if (!reloaded) return false;
  DropBlankText(reloaded.get());
  return Serialized(reloaded.get(), "UTF-8") == utf8Tree;
}

bool IsUtf8Name(const std::string& encoding) {
  return encoding.empty() || xmlStrcasecmp(XmlChars(encoding), XmlChars("UTF-8")) == 0;
}

void SaveDomDocument(const DomDocumentRef& reference, const std::wstring& path) {
  if (WriteFileAtomically(path, SerializeDomDocument(reference)).Failed()) throw _com_error(E_FAIL);
}

std::string SerializeDomDocument(const DomDocumentRef& reference) {
  const Document& document = DocumentOf(reference);
  std::string bytes = document.byteOrderMark;
  // The declaration is written here, so that it names the encoding as the
  // file did ("UTF-16" rather than the byte order the writer needs).
  if (document.declaration) bytes += EncodedDeclaration(document);
  // A UTF-8 file's tree is written once and serves the check too.
  const std::string utf8Tree = Serialized(document.tree, "UTF-8");
  bytes += IsUtf8Name(document.encoding) ? utf8Tree
                                         : Serialized(document.tree, document.encoding.c_str());
  if (!LoadsBackAsTheDocument(bytes, utf8Tree)) throw _com_error(E_FAIL);
  return bytes;
}

DomNodeRef DocumentNode(const DomDocumentRef& document) {
  return Refer(reinterpret_cast<xmlNodePtr>(DocumentOf(document).tree));
}

DomNodeRef CopyNodeRef(const DomNodeRef& node) { return DomNodeRef(node.Get()); }

DomNodeKind NodeKind(const DomNodeRef& reference) {
  switch (NodeOf(reference)->type) {
    case XML_DOCUMENT_NODE:
      return DomNodeKind::Document;
    case XML_ELEMENT_NODE:
      return DomNodeKind::Element;
    case XML_ATTRIBUTE_NODE:
      return DomNodeKind::Attribute;
    case XML_TEXT_NODE:
      return DomNodeKind::Text;
    case XML_CDATA_SECTION_NODE:
      return DomNodeKind::CData;
    case XML_COMMENT_NODE:
      return DomNodeKind::Comment;
    case XML_PI_NODE:
      return DomNodeKind::Instruction;
    default:
      return DomNodeKind::Other;
  }
}

bool NodeNameIs(const DomNodeRef& reference, std::wstring_view name) {
  xmlNodePtr node = NodeOf(reference);
  if (node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE &&
      node->type != XML_PI_NODE)
    return false;
  const std::string_view local = Chars(node->name);
  const bool prefixed =
      node->type != XML_PI_NODE && node->ns != nullptr && node->ns->prefix != nullptr;
  // Compared as they are when both are ASCII without a prefix (the usual
  // case); else through the qualified name.
  if (!prefixed && local.size() == name.size() &&
      std::all_of(name.begin(), name.end(), [](wchar_t c) { return c > 0 && c < 0x80; }))
    return std::equal(local.begin(), local.end(), name.begin(),
                      [](char a, wchar_t b) { return static_cast<wchar_t>(a) == b; });
  const std::string qualified = prefixed ? QualifiedName(node->ns, node->name) : std::string(local);
  return Wide(qualified) == name;
}

DomNodeRef FirstChild(const DomNodeRef& reference) {
  xmlNodePtr node = NodeOf(reference);
  if (node->type == XML_ATTRIBUTE_NODE || node->type == XML_ENTITY_REF_NODE) return DomNodeRef();
  return Refer(node->children);
}

DomNodeRef NextSibling(const DomNodeRef& reference) {
  xmlNodePtr node = NodeOf(reference);
  if (node->type == XML_ATTRIBUTE_NODE || node->type == XML_DOCUMENT_NODE) return DomNodeRef();
  return Refer(node->next);
}

DomNodeRef PreviousSibling(const DomNodeRef& reference) {
  xmlNodePtr node = NodeOf(reference);
  if (node->type == XML_ATTRIBUTE_NODE || node->type == XML_DOCUMENT_NODE) return DomNodeRef();
  return Refer(node->prev);
}

std::vector<std::wstring> AttributeNames(const DomNodeRef& reference) {
  xmlNodePtr node = NodeOf(reference);
  std::vector<std::wstring> names;
  if (node->type != XML_ELEMENT_NODE) return names;
  for (xmlAttrPtr attribute = node->properties; attribute != nullptr; attribute = attribute->next)
    names.push_back(Wide(QualifiedName(attribute->ns, attribute->name)));
  return names;
}

bool IsElement(const DomNodeRef& node) { return NodeOf(node)->type == XML_ELEMENT_NODE; }

DomNodeRef CreateElement(const DomDocumentRef& reference, const std::wstring& name) {
  Document& document = DocumentOf(reference);
  if (!IsUnprefixedXmlName(name)) throw _com_error(E_FAIL);
  const std::string utf8 = ToUtf8(name);
  document.unattached.reserve(document.unattached.size() + 1);
  xmlNodePtr element = xmlNewDocNode(document.tree, nullptr, XmlChars(utf8), nullptr);
  if (element == nullptr) throw _com_error(E_OUTOFMEMORY);
  document.unattached.push_back(element);
  return Refer(element);
}

void AppendChild(const DomNodeRef& parentReference, const DomNodeRef& childReference) {
  xmlNodePtr parent = NodeOf(parentReference);
  xmlNodePtr child = NodeOf(childReference);
  if (parent->type != XML_ELEMENT_NODE && parent->type != XML_DOCUMENT_NODE)
    throw _com_error(E_FAIL);
  if (child->type != XML_ELEMENT_NODE || IsAncestorOrSelf(child, parent)) throw _com_error(E_FAIL);
  if (parent->type == XML_DOCUMENT_NODE) {
    // Only one root element.
    xmlNodePtr root = xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(parent));
    if (root != nullptr && root != child) throw _com_error(E_FAIL);
  }
  if (child->doc != parent->doc) throw _com_error(E_FAIL);
  // An element made by CreateElement now belongs to the tree.
  std::vector<xmlNodePtr>& unattached = static_cast<Document*>(child->doc->_private)->unattached;
  unattached.erase(std::remove(unattached.begin(), unattached.end(), child), unattached.end());
  xmlUnlinkNode(child);
  if (xmlAddChild(parent, child) == nullptr) throw _com_error(E_FAIL);
}

void RemoveChild(const DomNodeRef& parentReference, const DomNodeRef& childReference) {
  xmlNodePtr parent = NodeOf(parentReference);
  xmlNodePtr child = NodeOf(childReference);
  if (child->parent != parent || child->type == XML_ATTRIBUTE_NODE) throw _com_error(E_INVALIDARG);
  xmlUnlinkNode(child);
  xmlFreeNode(child);
}

DomNodeRef ParentNode(const DomNodeRef& reference) {
  xmlNodePtr node = NodeOf(reference);
  if (node->type == XML_ATTRIBUTE_NODE || node->type == XML_DOCUMENT_NODE) return DomNodeRef();
  return Refer(node->parent);
}

std::wstring GetText(const DomNodeRef& reference) {
  xmlNodePtr node = NodeOf(reference);
  if (node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE) return Wide(TextOf(node));
  return TakeText(xmlNodeGetContent(node));
}

void SetText(const DomNodeRef& reference, const std::wstring& text) {
  xmlNodePtr node = RequireElement(reference);
  // Checked before the conversion, which would make a lone surrogate U+FFFD.
  if (!IsXmlText(std::wstring_view(text).substr(0, text.find(L'\0')))) throw _com_error(E_FAIL);
  const std::string value = DomString(text);
  xmlNodePtr textNode = nullptr;
  if (!value.empty()) {
    // Taken as it is: no entity reference in it is parsed.
    textNode = xmlNewDocTextLen(node->doc, XmlChars(value), static_cast<int>(value.size()));
    if (textNode == nullptr) throw _com_error(E_OUTOFMEMORY);
  }
  RemoveAllChildren(node);
  if (textNode != nullptr) xmlAddChild(node, textNode);
}

// The namespace declared by the element's "xmlns" or "xmlns:p" attribute
// (libxml2 keeps them apart from the attributes; MSXML does not); nullptr
// when it declares none of that name.
const xmlNs* FindNamespaceDeclaration(xmlNodePtr element, std::string_view name) {
  if (name != "xmlns" && name.substr(0, 6) != "xmlns:") return nullptr;
  const std::string_view prefix = name.size() > 6 ? name.substr(6) : std::string_view();
  for (const xmlNs* ns = element->nsDef; ns != nullptr; ns = ns->next) {
    const std::string_view declared = ns->prefix != nullptr ? Chars(ns->prefix) : "";
    if (declared == prefix && (ns->prefix != nullptr) == (name.size() > 5)) return ns;
  }
  return nullptr;
}

std::optional<std::wstring> GetAttribute(const DomNodeRef& element, const std::wstring& name) {
  xmlNodePtr node = RequireElement(element);
  const std::string utf8Name = DomString(name);
  if (const xmlNs* ns = FindNamespaceDeclaration(node, utf8Name))
    return Wide(ns->href != nullptr ? Chars(ns->href) : "");
  xmlAttrPtr attribute = FindAttribute(node, utf8Name);
  if (attribute == nullptr) return std::nullopt;
  return TakeText(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attribute)));
}

void SetAttribute(const DomNodeRef& element, const std::wstring& name, const std::wstring& value) {
  xmlNodePtr node = RequireElement(element);
  if (!IsXmlText(std::wstring_view(value).substr(0, value.find(L'\0')))) throw _com_error(E_FAIL);
  if (IsNamespaceDeclarationName(name)) throw _com_error(E_FAIL);
  const std::string utf8Value = DomString(value);
  const std::string utf8Name = ToUtf8(name);
  xmlAttrPtr attribute = FindAttribute(node, utf8Name);
  // An attribute the element has keeps its name; a new one needs a name the
  // document can take.
  if (attribute == nullptr && !IsUnprefixedXmlName(name)) throw _com_error(E_FAIL);
  attribute = attribute != nullptr
                  ? xmlSetNsProp(node, attribute->ns, attribute->name, XmlChars(utf8Value))
                  : xmlSetProp(node, XmlChars(utf8Name), XmlChars(utf8Value));
  if (attribute == nullptr) throw _com_error(E_FAIL);
}

std::int32_t ChildNodeCount(const DomNodeRef& reference) {
  xmlNodePtr node = NodeOf(reference);
  if (node->type == XML_ATTRIBUTE_NODE || node->type == XML_ENTITY_REF_NODE) return 0;
  std::int32_t count = 0;
  for (xmlNodePtr child = node->children; child != nullptr && count < INT32_MAX;
       child = child->next)
    ++count;
  return count;
}

}  // namespace kalinor::platform
