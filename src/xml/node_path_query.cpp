#include "xml/node_path_query.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <utility>

#include "platform/xml_names.h"

namespace kalinor {

using platform::DomNodeKind;
using platform::DomNodeRef;
using Axis = NodePathStep::Axis;
using Test = NodePathStep::Test;

// --- Parsing ---------------------------------------------------------------

namespace {

class NodePathParser {
 public:
  explicit NodePathParser(std::wstring_view text) : m_text(text) {}

  std::optional<NodePath> Parse() {
    NodePath path;
    if (m_text.empty()) return std::nullopt;
    path.steps.reserve(4);
    bool descendants = false;
    if (Accept(L"//")) {
      path.absolute = descendants = true;
    } else if (Accept(L"/")) {
      path.absolute = true;
      if (AtEnd()) return path;  // "/" is the document itself
    }
    for (;;) {
      std::optional<NodePathStep> step = ParseStep(descendants);
      if (!step) return std::nullopt;
      path.steps.push_back(std::move(*step));
      if (AtEnd()) return path;
      if (Accept(L"//"))
        descendants = true;
      else if (Accept(L"/"))
        descendants = false;
      else
        return std::nullopt;
    }
  }

 private:
  bool AtEnd() const { return m_at >= m_text.size(); }
  wchar_t Peek() const { return AtEnd() ? L'\0' : m_text[m_at]; }

  bool Accept(std::wstring_view token) {
    if (m_text.size() - m_at < token.size()) return false;
    for (std::size_t i = 0; i < token.size(); ++i)
      if (m_text[m_at + i] != token[i]) return false;
    m_at += token.size();
    return true;
  }

  // Name characters, the ASCII ones decided here (paths are mostly ASCII).
  static bool IsNameStart(wchar_t c) {
    if (c < 0x80)
      return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' || c == L':';
    return platform::IsXmlNameStartChar(c);
  }
  static bool IsNameChar(wchar_t c) {
    if (c < 0x80) return IsNameStart(c) || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.';
    return platform::IsXmlNameChar(c);
  }

  void SkipBlanks() {
    while (Peek() == L' ' || Peek() == L'\t' || Peek() == L'\r' || Peek() == L'\n') ++m_at;
  }

  std::optional<std::wstring> ParseName() {
    if (AtEnd() || !IsNameStart(Peek())) return std::nullopt;
    const std::size_t start = m_at;
    while (!AtEnd() && IsNameChar(Peek())) ++m_at;
    return std::wstring(m_text.substr(start, m_at - start));
  }

  std::optional<NodePathStep> ParseStep(bool descendants) {
    NodePathStep step;
    step.descendants = descendants;
    if (Accept(L"..")) {
      step.axis = Axis::Parent;
      step.test = Test::AnyNode;
    } else if (Accept(L".")) {
      step.axis = Axis::Self;
      step.test = Test::AnyNode;
    } else if (Accept(L"@")) {
      step.axis = Axis::Attribute;
      if (Accept(L"*")) {
        step.test = Test::Any;
      } else {
        std::optional<std::wstring> name = ParseName();
        if (!name) return std::nullopt;
        step.name = std::move(*name);
      }
    } else if (Accept(L"*")) {
      step.test = Test::Any;
    } else {
      std::optional<std::wstring> name = ParseName();
      if (!name) return std::nullopt;
      if (Accept(L"()")) {
        std::optional<Test> test = TestOfMethod(*name);
        if (!test) return std::nullopt;
        step.test = *test;
      } else {
        step.name = std::move(*name);
      }
    }
    while (Peek() == L'[') {
      std::optional<NodePathPredicate> predicate = ParsePredicate();
      if (!predicate) return std::nullopt;
      step.predicates.push_back(std::move(*predicate));
    }
    return step;
  }

  static std::optional<Test> TestOfMethod(std::wstring_view method) {
    if (method == L"text") return Test::Text;
    if (method == L"node") return Test::AnyNode;
    if (method == L"comment") return Test::Comment;
    if (method == L"pi") return Test::Instruction;
    return std::nullopt;
  }

  std::optional<NodePathPredicate> ParsePredicate() {
    NodePathPredicate predicate;
    Accept(L"[");
    SkipBlanks();
    if (Peek() >= L'0' && Peek() <= L'9') {
      predicate.position = ParsePosition();
    } else {
      if (!Accept(L"@")) return std::nullopt;
      std::optional<std::wstring> name = ParseName();
      if (!name) return std::nullopt;
      predicate.attribute = std::move(*name);
      SkipBlanks();
      if (Accept(L"=")) {
        SkipBlanks();
        predicate.value = ParseLiteral();
        if (!predicate.value) return std::nullopt;
      }
    }
    SkipBlanks();
    if (!Accept(L"]")) return std::nullopt;
    return predicate;
  }

  std::size_t ParsePosition() {
    // Far beyond any document, and no overflow however many digits follow.
    constexpr std::size_t kBeyondAnyDocument = std::numeric_limits<std::size_t>::max() / 16;
    std::size_t position = 0;
    while (Peek() >= L'0' && Peek() <= L'9') {
      position =
          std::min(position * 10 + static_cast<std::size_t>(Peek() - L'0'), kBeyondAnyDocument);
      ++m_at;
    }
    return position;
  }

  std::optional<std::wstring> ParseLiteral() {
    const wchar_t quote = Peek();
    if (quote != L'"' && quote != L'\'') return std::nullopt;
    const std::size_t end = m_text.find(quote, m_at + 1);
    if (end == std::wstring_view::npos) return std::nullopt;
    std::wstring value(m_text.substr(m_at + 1, end - m_at - 1));
    m_at = end + 1;
    return value;
  }

  std::wstring_view m_text;
  std::size_t m_at = 0;
};

}  // namespace

std::optional<NodePath> ParseNodePath(std::wstring_view text) {
  return NodePathParser(text).Parse();
}

std::shared_ptr<const NodePath> CompileNodePath(std::wstring_view text) {
  struct Entry {
    std::wstring text;
    std::shared_ptr<const NodePath> path;
    std::uint64_t lastUse = 0;
  };
  constexpr std::size_t kEntries = 8;
  thread_local std::array<Entry, kEntries> cache;
  thread_local std::uint64_t uses = 0;
  ++uses;
  for (Entry& entry : cache) {
    if (entry.path && entry.text == text) {
      entry.lastUse = uses;
      return entry.path;
    }
  }
  std::optional<NodePath> parsed = ParseNodePath(text);
  if (!parsed) return nullptr;
  // The least recently used entry goes: a path asked for once per store
  // does not push out the few asked for every time.
  Entry& slot = *std::min_element(cache.begin(), cache.end(), [](const Entry& a, const Entry& b) {
    return a.lastUse < b.lastUse;
  });
  slot.text.assign(text);
  slot.path = std::make_shared<const NodePath>(std::move(*parsed));
  slot.lastUse = uses;
  return slot.path;
}

// --- Evaluation --------------------------------------------------------------

namespace {

// A node reached by a step: a DOM node, or attribute `attributeName` of the
// element `node`. `order` places it in document order (see OrderKey).
struct Item {
  DomNodeRef node;
  std::wstring attributeName;
  bool attribute = false;
  std::vector<std::uint32_t> order;
};

// Document order as a key: the child positions from the document down, each
// plus one; an attribute adds 0 and its position, so that it sorts after its
// element and before the element's children.
std::vector<std::uint32_t> ChildKey(const std::vector<std::uint32_t>& parent, std::uint32_t index) {
  std::vector<std::uint32_t> key = parent;
  key.push_back(index + 1);
  return key;
}

std::vector<std::uint32_t> AttributeKey(const std::vector<std::uint32_t>& owner,
                                        std::uint32_t index) {
  std::vector<std::uint32_t> key = owner;
  key.push_back(0);
  key.push_back(index);
  return key;
}

// The key of a node given from outside: counted up to the top of its tree.
std::vector<std::uint32_t> KeyOf(const DomReader& dom, const DomNodeRef& node) {
  std::vector<std::uint32_t> reversed;
  DomNodeRef at = platform::CopyNodeRef(node);
  for (DomNodeRef parent = dom.ParentNode(at); parent;
       at = std::move(parent), parent = dom.ParentNode(at)) {
    std::uint32_t index = 0;
    for (DomNodeRef before = dom.PreviousSibling(at); before; before = dom.PreviousSibling(before))
      ++index;
    reversed.push_back(index + 1);
  }
  return {reversed.rbegin(), reversed.rend()};
}

bool PassesTest(const DomReader& dom, const DomNodeRef& node, const NodePathStep& step) {
  const DomNodeKind kind = dom.NodeKind(node);
  switch (step.test) {
    case Test::Name:
      return kind == DomNodeKind::Element && dom.NodeNameIs(node, step.name);
    case Test::Any:
      return kind == DomNodeKind::Element;
    case Test::Text:
      return kind == DomNodeKind::Text || kind == DomNodeKind::CData;
    case Test::Comment:
      return kind == DomNodeKind::Comment;
    case Test::Instruction:
      return kind == DomNodeKind::Instruction;
    case Test::AnyNode:
      return true;
  }
  return false;
}

bool PassesAttributeTest(const DomReader& dom, const Item& item,
                         const NodePathPredicate& predicate) {
  if (item.attribute || dom.NodeKind(item.node) != DomNodeKind::Element) return false;
  const std::optional<std::wstring> value = dom.GetAttribute(item.node, predicate.attribute);
  return value && (!predicate.value || *predicate.value == *value);
}

Item CopyItem(const Item& item) {
  return Item{platform::CopyNodeRef(item.node), item.attributeName, item.attribute, item.order};
}

// The attributes of element that step selects, in document order.
std::vector<Item> AttributeCandidates(const DomReader& dom, const Item& context,
                                      const NodePathStep& step) {
  std::vector<Item> found;
  if (context.attribute || dom.NodeKind(context.node) != DomNodeKind::Element) return found;
  const std::vector<std::wstring> names = dom.AttributeNames(context.node);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (step.test == Test::Name && names[i] != step.name) continue;
    found.push_back(Item{platform::CopyNodeRef(context.node), names[i], true,
                         AttributeKey(context.order, static_cast<std::uint32_t>(i))});
  }
  return found;
}

// The first match in document order of steps[index..] from context, found
// depth first without building node sets: candidates come in document order
// and predicates are decided as they come, so Store[0] or Store[@id="x"]
// stops at its first match. Only for paths whose steps move down (no "//"
// and no ".."): then depth-first order is document order.
bool FirstMatch(const DomReader& dom, const Item& context, const std::vector<NodePathStep>& steps,
                std::size_t index, Item& result) {
  if (index == steps.size()) {
    result = CopyItem(context);
    return true;
  }
  const NodePathStep& step = steps[index];
  // How many candidates each position predicate has seen (on the stack for
  // the usual one or two predicates).
  std::array<std::size_t, 4> fewCounts{};
  std::vector<std::size_t> manyCounts(
      step.predicates.size() > fewCounts.size() ? step.predicates.size() : 0);
  std::size_t* const counts = manyCounts.empty() ? fewCounts.data() : manyCounts.data();
  bool exhausted = false;  // a position predicate is past its position
  auto passes = [&](const Item& item) {
    for (std::size_t i = 0; i < step.predicates.size(); ++i) {
      const NodePathPredicate& predicate = step.predicates[i];
      if (predicate.position) {
        if (counts[i]++ != *predicate.position) return false;
        exhausted = true;  // no later candidate can hold this position
      } else if (!PassesAttributeTest(dom, item, predicate)) {
        return false;
      }
    }
    return true;
  };
  auto tryItem = [&](const Item& item) {
    return passes(item) && FirstMatch(dom, item, steps, index + 1, result);
  };
  switch (step.axis) {
    case Axis::Child:
      if (context.attribute) return false;
      for (DomNodeRef child = dom.FirstChild(context.node); child && !exhausted;
           child = dom.NextSibling(child)) {
        if (PassesTest(dom, child, step) &&
            tryItem(Item{platform::CopyNodeRef(child), {}, false, {}}))
          return true;
      }
      return false;
    case Axis::Attribute:
      for (const Item& item : AttributeCandidates(dom, context, step)) {
        if (exhausted) break;
        if (tryItem(item)) return true;
      }
      return false;
    case Axis::Self:
      return tryItem(context);
    case Axis::Parent:
      break;
  }
  return false;
}

// --- Node sets, for paths with "//" or "..". ---

std::vector<Item> Candidates(const DomReader& dom, const Item& context, const NodePathStep& step) {
  std::vector<Item> found;
  switch (step.axis) {
    case Axis::Child: {
      if (context.attribute) break;
      std::uint32_t index = 0;
      for (DomNodeRef child = dom.FirstChild(context.node); child;
           child = dom.NextSibling(child), ++index) {
        if (PassesTest(dom, child, step))
          found.push_back(
              Item{platform::CopyNodeRef(child), {}, false, ChildKey(context.order, index)});
      }
      break;
    }
    case Axis::Attribute:
      found = AttributeCandidates(dom, context, step);
      break;
    case Axis::Self:
      found.push_back(CopyItem(context));
      break;
    case Axis::Parent:
      if (context.attribute) {
        std::vector<std::uint32_t> key(context.order.begin(), context.order.end() - 2);
        found.push_back(Item{platform::CopyNodeRef(context.node), {}, false, std::move(key)});
      } else if (DomNodeRef parent = dom.ParentNode(context.node)) {
        std::vector<std::uint32_t> key(context.order.begin(), context.order.end() - 1);
        found.push_back(Item{std::move(parent), {}, false, std::move(key)});
      }
      break;
  }
  return found;
}

void ApplyPredicates(const DomReader& dom, std::vector<Item>& items,
                     const std::vector<NodePathPredicate>& predicates) {
  for (const NodePathPredicate& predicate : predicates) {
    if (predicate.position) {
      if (*predicate.position < items.size()) {
        Item kept = std::move(items[*predicate.position]);
        items.clear();
        items.push_back(std::move(kept));
      } else {
        items.clear();
      }
    } else {
      std::erase_if(items,
                    [&](const Item& item) { return !PassesAttributeTest(dom, item, predicate); });
    }
  }
}

// The items and all their descendants, each once, in document order (the
// items come in document order, so an ancestor is always expanded first).
bool IsPrefix(const std::vector<std::uint32_t>& prefix, const std::vector<std::uint32_t>& key) {
  return prefix.size() <= key.size() && std::equal(prefix.begin(), prefix.end(), key.begin());
}

std::vector<Item> DescendantsOrSelf(const DomReader& dom, const std::vector<Item>& items) {
  std::vector<Item> all;
  std::vector<const Item*> expanded;
  for (const Item& item : items) {
    if (item.attribute) continue;
    if (std::any_of(expanded.begin(), expanded.end(),
                    [&](const Item* root) { return IsPrefix(root->order, item.order); }))
      continue;  // already reached below an earlier item
    expanded.push_back(&item);
    // Pre-order walk of the item's subtree without recursion.
    std::vector<Item> stack;
    stack.push_back(CopyItem(item));
    while (!stack.empty()) {
      Item node = std::move(stack.back());
      stack.pop_back();
      std::vector<Item> children;
      std::uint32_t index = 0;
      for (DomNodeRef child = dom.FirstChild(node.node); child;
           child = dom.NextSibling(child), ++index)
        children.push_back(
            Item{platform::CopyNodeRef(child), {}, false, ChildKey(node.order, index)});
      for (auto it = children.rbegin(); it != children.rend(); ++it)
        stack.push_back(std::move(*it));
      all.push_back(std::move(node));
    }
  }
  return all;
}

void SortInDocumentOrder(std::vector<Item>& items) {
  std::stable_sort(items.begin(), items.end(),
                   [](const Item& a, const Item& b) { return a.order < b.order; });
  items.erase(std::unique(items.begin(), items.end(),
                          [](const Item& a, const Item& b) { return a.order == b.order; }),
              items.end());
}

bool StreamsInDocumentOrder(const NodePath& path) {
  return std::none_of(path.steps.begin(), path.steps.end(), [](const NodePathStep& step) {
    return step.descendants || step.axis == Axis::Parent;
  });
}

DomNodeRef TopOf(const DomReader& dom, const DomNodeRef& node) {
  DomNodeRef top = platform::CopyNodeRef(node);
  for (DomNodeRef parent = dom.ParentNode(top); parent; parent = dom.ParentNode(top))
    top = std::move(parent);
  return top;
}

NodePathMatch MatchOf(Item item) { return NodePathMatch{std::move(item.node), item.attribute}; }

}  // namespace

NodePathMatch SelectFirst(const DomReader& dom, const DomNodeRef& context, const NodePath& path) {
  if (!context) throw _com_error(E_POINTER);
  DomNodeRef start = path.absolute ? TopOf(dom, context) : platform::CopyNodeRef(context);
  if (StreamsInDocumentOrder(path)) {
    Item result;
    if (!FirstMatch(dom, Item{std::move(start), {}, false, {}}, path.steps, 0, result)) return {};
    return MatchOf(std::move(result));
  }
  std::vector<Item> current;
  std::vector<std::uint32_t> key = path.absolute ? std::vector<std::uint32_t>() : KeyOf(dom, start);
  current.push_back(Item{std::move(start), {}, false, std::move(key)});
  for (const NodePathStep& step : path.steps) {
    const std::vector<Item> contexts =
        step.descendants ? DescendantsOrSelf(dom, current) : std::move(current);
    std::vector<Item> next;
    for (const Item& item : contexts) {
      std::vector<Item> found = Candidates(dom, item, step);
      ApplyPredicates(dom, found, step.predicates);
      for (Item& one : found) next.push_back(std::move(one));
    }
    if (contexts.size() > 1) SortInDocumentOrder(next);
    current = std::move(next);
    if (current.empty()) return {};
  }
  return MatchOf(std::move(current.front()));
}

}  // namespace kalinor
