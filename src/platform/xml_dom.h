// The XML DOM primitives that XMLDocument's algorithms are written over: one
// implementation over MSXML (COM) on Windows, one over libxml2 elsewhere.
// Node paths are evaluated by the project's own code (xml/node_path_query.h)
// over the navigation primitives below; neither DOM's own selection is used.
//
// Every primitive raises kalinor::_com_error with a failing HRESULT when it
// fails, as a failing MSXML call does: E_POINTER for an empty reference,
// E_OUTOFMEMORY when memory runs out, E_FAIL (or the DOM's own code) for any
// other failure. None returns a failure value instead of raising.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/hresult.h"
#include "platform/scoped_handle.h"

namespace kalinor::platform {

/// Tag of a reference to a DOM document object.
struct DomDocumentTag {};
/// Tag of a reference to a DOM node object (element, attribute, text, ...).
struct DomNodeTag {};

/// Releases one reference to an implementation's document object. Never fails.
void ReleaseDomObject(DomDocumentTag, void* object) noexcept;
/// Releases one reference to an implementation's node object. Never fails.
void ReleaseDomObject(DomNodeTag, void* object) noexcept;

/// ReleaseDomObject for a ScopedHandle. Never fails.
template <typename Tag>
bool ReleaseDomReference(void* object) noexcept {
  ReleaseDomObject(Tag{}, object);
  return true;
}

/// An owning, move-only reference to one DOM object (a COM reference that
/// needs Release on Windows). Empty when default-made or moved from.
template <typename Tag>
class DomRef : public ScopedHandle<NullIsEmptyTraits<void*, &ReleaseDomReference<Tag>>> {
 public:
  using ScopedHandle<NullIsEmptyTraits<void*, &ReleaseDomReference<Tag>>>::ScopedHandle;
};

/// An owning reference to a DOM document object.
using DomDocumentRef = DomRef<DomDocumentTag>;
/// A reference to a DOM node, with one lifetime on both builds: it may be
/// used while its node is part of its document (or, made by CreateElement,
/// waits to be appended), and must not be used once the node or an ancestor
/// was removed, the document loaded again or the document released. Letting
/// the reference go is always safe, in any order. Both builds keep this
/// contract though they differ beneath it: libxml2's nodes belong to their
/// document and are freed by RemoveChild, a load or the document's release
/// (letting the reference go does nothing); MSXML's COM reference would keep
/// a removed node's object alive, but no code may rely on that.
using DomNodeRef = DomRef<DomNodeTag>;

/// A new, empty document object. Raises _com_error with the creation's
/// HRESULT (on Windows e.g. CO_E_NOTINITIALIZED when COM is not initialised).
DomDocumentRef CreateDomDocument();

/// Makes loads synchronous: a load returns only when the whole file was read.
/// Raises _com_error (E_POINTER for an empty reference).
void SetSynchronousLoad(const DomDocumentRef& document);

/// Loads the file, replacing the whole content. True when the file was
/// parsed; false when it is missing, unreadable or not well-formed, and the
/// document is then empty. Internal entities are expanded; nothing outside
/// the file (external entity, DTD, URL) is ever read. Raises _com_error (E_POINTER for an empty
/// reference).
bool LoadDomDocument(const DomDocumentRef& document, const std::wstring& path);

/// LoadDomDocument over a file's bytes read already (by a reader that chose
/// how to open it). The same results and failures.
bool LoadDomDocumentBytes(const DomDocumentRef& document, const std::string& bytes);

/// Writes the whole document to path in the encoding it was loaded in (UTF-8
/// when built from nothing), replacing the file atomically. Raises
/// _com_error: E_FAIL when it cannot be written (the old file then stays
/// whole and no temporary file is left), E_POINTER for an empty reference.
void SaveDomDocument(const DomDocumentRef& document, const std::wstring& path);

/// The bytes SaveDomDocument would write, checked to load back as the
/// document. Raises _com_error: E_FAIL when they cannot be made or do not
/// load back, E_POINTER for an empty reference.
std::string SerializeDomDocument(const DomDocumentRef& document);

/// The document itself as a node: the context of absolute paths and the
/// parent of the root element. Raises _com_error (E_POINTER for an empty reference).
DomNodeRef DocumentNode(const DomDocumentRef& document);

/// A second reference to the same node; empty for an empty reference. Never
/// fails but for E_OUTOFMEMORY.
DomNodeRef CopyNodeRef(const DomNodeRef& node);

/// What kind of node a reference holds.
enum class DomNodeKind { Document, Element, Attribute, Text, CData, Comment, Instruction, Other };

/// The node's kind. Raises _com_error(E_POINTER) for an empty node.
DomNodeKind NodeKind(const DomNodeRef& node);

/// True when the node is an element, attribute or instruction (by its
/// target) whose name, prefix included, is name. Raises _com_error(E_POINTER)
/// for an empty node.
bool NodeNameIs(const DomNodeRef& node, std::wstring_view name);

/// The node's first child of any kind; empty when it has none (attributes
/// are no children). Raises _com_error(E_POINTER) for an empty node.
DomNodeRef FirstChild(const DomNodeRef& node);

/// The node's next sibling of any kind; empty after the last one. Raises
/// _com_error(E_POINTER) for an empty node.
DomNodeRef NextSibling(const DomNodeRef& node);

/// The node's previous sibling of any kind; empty before the first one.
/// Raises _com_error(E_POINTER) for an empty node.
DomNodeRef PreviousSibling(const DomNodeRef& node);

/// The names of the element's attributes in document order (namespace
/// declarations excepted); empty for any other node. Raises _com_error.
std::vector<std::wstring> AttributeNames(const DomNodeRef& node);

/// True when node is an element (not the document, an attribute, text, a
/// comment or a processing instruction). Raises _com_error(E_POINTER) when empty.
bool IsElement(const DomNodeRef& node);

/// A new element of that name, in no parent yet. Raises _com_error: E_FAIL
/// when name is not a valid XML name, E_POINTER for an empty document.
DomNodeRef CreateElement(const DomDocumentRef& document, const std::wstring& name);

/// Makes child the last child of parent; child refers to it there afterwards.
/// Raises _com_error: E_FAIL when parent cannot take it (a second root
/// element, a parent that is not an element or the document), E_POINTER.
void AppendChild(const DomNodeRef& parent, const DomNodeRef& child);

/// Takes child and its subtree out of parent and frees them. Raises
/// _com_error: E_INVALIDARG when child is not a child of parent, E_POINTER.
void RemoveChild(const DomNodeRef& parent, const DomNodeRef& child);

/// The node's parent; empty for the document, an attribute or a node in no
/// parent. Raises _com_error(E_POINTER) for an empty node.
DomNodeRef ParentNode(const DomNodeRef& node);

/// MSXML's text property with preserveWhiteSpace false: the text of all
/// descendant text and CDATA nodes joined in order, white space at the ends
/// of each text run trimmed and runs inside collapsed where no
/// xml:space="preserve" applies (an attribute's value; a comment's or
/// instruction's content). Raises _com_error.
std::wstring GetText(const DomNodeRef& node);

/// Replaces all children of node by one text node holding text (by none when
/// text is empty). Raises _com_error: E_FAIL for the document node or for
/// text holding a character XML 1.0 forbids (the node is then unchanged).
void SetText(const DomNodeRef& node, const std::wstring& text);

/// The value of the element's attribute; nullopt when it has none of that
/// name. Raises _com_error: E_FAIL when node is not an element, E_POINTER.
std::optional<std::wstring> GetAttribute(const DomNodeRef& element, const std::wstring& name);

/// Creates or replaces the element's attribute. Raises _com_error: E_FAIL when
/// node is not an element or name is not a valid XML name, E_POINTER.
void SetAttribute(const DomNodeRef& element, const std::wstring& name, const std::wstring& value);

/// The number of the node's direct children of every kind (elements, text,
/// CDATA, comments, processing instructions). Raises _com_error(E_POINTER).
std::int32_t ChildNodeCount(const DomNodeRef& node);

/// The most elements nested in one another that a load accepts, the root
/// element counted as the first; a deeper document is refused.
inline constexpr int kMaxElementDepth = 256;

/// The most attributes one element may have, counting those its start tag
/// gives and the default values a DOCTYPE declares (far above any settings
/// file); a document beyond it is refused before it is parsed.
inline constexpr std::size_t kMaxAttributesPerElement = 1000;

}  // namespace kalinor::platform
