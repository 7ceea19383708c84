// The node-path language on pugixml, with the results of MSXML's XSL
// patterns: positions count from 0 and apply among the siblings that match
// the step. pugixml's own XPath counts from 1, so it is not used here.
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/hresult.h"
#include "platform/posix/pugixml_dom.h"
#include "platform/text.h"
#include "platform/xml_names.h"

namespace kalinor::platform::pugixml_dom {

pugi::xml_node NextInPreorder(pugi::xml_node node, pugi::xml_node top) {
  if (node.first_child()) return node.first_child();
  while (node && node != top) {
    if (node.next_sibling()) return node.next_sibling();
    node = node.parent();
  }
  return {};
}

namespace {

enum class Axis { Child, Attribute, Self, Parent };
enum class NodeTest { Name, Any, Text, Comment, ProcessingInstruction, AnyNode };

struct Predicate {
  std::optional<std::size_t> position;
  std::string attribute;
  std::optional<std::string> value;
};

struct Step {
  bool descendants = false;  // preceded by "//"
  Axis axis = Axis::Child;
  NodeTest test = NodeTest::Name;
  std::string name;  // UTF-8, as pugixml holds names
  std::vector<Predicate> predicates;
};

struct Query {
  bool absolute = false;
  std::vector<Step> steps;
};

[[noreturn]] void Malformed() { throw _com_error(E_FAIL); }

class QueryParser {
 public:
  explicit QueryParser(std::wstring_view text) : m_text(text) {}

  Query Parse() {
    Query query;
    if (m_text.empty()) Malformed();
    bool descendants = false;
    if (Accept(L"//")) {
      query.absolute = descendants = true;
    } else if (Accept(L"/")) {
      query.absolute = true;
      if (AtEnd()) return query;  // "/" is the document itself
    }
    for (;;) {
      query.steps.push_back(ParseStep(descendants));
      if (AtEnd()) return query;
      if (Accept(L"//"))
        descendants = true;
      else if (Accept(L"/"))
        descendants = false;
      else
        Malformed();
    }
  }

 private:
  bool AtEnd() const { return m_at >= m_text.size(); }
  wchar_t Peek() const { return AtEnd() ? L'\0' : m_text[m_at]; }

  bool Accept(std::wstring_view token) {
    if (m_text.substr(m_at, token.size()) != token) return false;
    m_at += token.size();
    return true;
  }

  void Expect(std::wstring_view token) {
    if (!Accept(token)) Malformed();
  }

  void SkipSpace() {
    while (!AtEnd() && (Peek() == L' ' || Peek() == L'\t' || Peek() == L'\r' || Peek() == L'\n'))
      ++m_at;
  }

  std::string ParseName() {
    if (AtEnd() || !IsXmlNameStartChar(Peek())) Malformed();
    const std::size_t start = m_at;
    while (!AtEnd() && IsXmlNameChar(Peek())) ++m_at;
    return ToUtf8(m_text.substr(start, m_at - start));
  }

  Step ParseStep(bool descendants) {
    Step step;
    step.descendants = descendants;
    if (Accept(L"..")) {
      step.axis = Axis::Parent;
      step.test = NodeTest::AnyNode;
    } else if (Accept(L".")) {
      step.axis = Axis::Self;
      step.test = NodeTest::AnyNode;
    } else if (Accept(L"@")) {
      step.axis = Axis::Attribute;
      if (Accept(L"*"))
        step.test = NodeTest::Any;
      else
        step.name = ParseName();
    } else if (Accept(L"*")) {
      step.test = NodeTest::Any;
    } else {
      step.name = ParseName();
      if (Accept(L"()")) step.test = NodeTestOfMethod(step.name);
    }
    while (Peek() == L'[') step.predicates.push_back(ParsePredicate());
    return step;
  }

  static NodeTest NodeTestOfMethod(const std::string& method) {
    if (method == "text") return NodeTest::Text;
    if (method == "node") return NodeTest::AnyNode;
    if (method == "comment") return NodeTest::Comment;
    if (method == "pi") return NodeTest::ProcessingInstruction;
    Malformed();
  }

  Predicate ParsePredicate() {
    Predicate predicate;
    Expect(L"[");
    SkipSpace();
    if (Peek() >= L'0' && Peek() <= L'9') {
      predicate.position = ParsePosition();
    } else {
      Expect(L"@");
      predicate.attribute = ParseName();
      SkipSpace();
      if (Accept(L"=")) {
        SkipSpace();
        predicate.value = ParseLiteral();
      }
    }
    SkipSpace();
    Expect(L"]");
    return predicate;
  }

  std::size_t ParsePosition() {
    constexpr std::size_t kBeyondAnyDocument = std::numeric_limits<std::size_t>::max() / 16;
    std::size_t position = 0;
    while (Peek() >= L'0' && Peek() <= L'9') {
      position =
          std::min(position * 10 + static_cast<std::size_t>(Peek() - L'0'), kBeyondAnyDocument);
      ++m_at;
    }
    return position;
  }

  std::string ParseLiteral() {
    const wchar_t quote = Peek();
    if (quote != L'"' && quote != L'\'') Malformed();
    const std::size_t end = m_text.find(quote, m_at + 1);
    if (end == std::wstring_view::npos) Malformed();
    std::string value = ToUtf8(m_text.substr(m_at + 1, end - m_at - 1));
    m_at = end + 1;
    return value;
  }

  std::wstring_view m_text;
  std::size_t m_at = 0;
};

bool Matches(const pugi::xml_node& node, const Step& step) {
  switch (step.test) {
    case NodeTest::Name:
      return node.type() == pugi::node_element && step.name == node.name();
    case NodeTest::Any:
      return node.type() == pugi::node_element;
    case NodeTest::Text:
      return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
    case NodeTest::Comment:
      return node.type() == pugi::node_comment;
    case NodeTest::ProcessingInstruction:
      return node.type() == pugi::node_pi || node.type() == pugi::node_declaration;
    case NodeTest::AnyNode:
      return true;
  }
  return false;
}

std::vector<Node> Candidates(const Node& context, const Step& step) {
  std::vector<Node> found;
  switch (step.axis) {
    case Axis::Child:
      if (context.attribute) break;
      for (pugi::xml_node child : context.node.children())
        if (Matches(child, step)) found.push_back(Node{child, {}});
      break;
    case Axis::Attribute:
      if (context.attribute || context.node.type() != pugi::node_element) break;
      for (pugi::xml_attribute attribute : context.node.attributes())
        if (step.test == NodeTest::Any || step.name == attribute.name())
          found.push_back(Node{context.node, attribute});
      break;
    case Axis::Self:
      found.push_back(context);
      break;
    case Axis::Parent:
      if (context.attribute)
        found.push_back(Node{context.node, {}});
      else if (context.node.parent())
        found.push_back(Node{context.node.parent(), {}});
      break;
  }
  return found;
}

bool PassesAttributeTest(const Node& item, const Predicate& predicate) {
  if (item.attribute || item.node.type() != pugi::node_element) return false;
  const pugi::xml_attribute attribute = item.node.attribute(predicate.attribute.c_str());
  if (!attribute) return false;
  return !predicate.value || *predicate.value == attribute.value();
}

void ApplyPredicates(std::vector<Node>& items, const std::vector<Predicate>& predicates) {
  for (const Predicate& predicate : predicates) {
    if (predicate.position) {
      if (*predicate.position < items.size()) {
        Node kept = items[*predicate.position];
        items.assign(1, kept);
      } else {
        items.clear();
      }
    } else {
      std::erase_if(items, [&](const Node& item) { return !PassesAttributeTest(item, predicate); });
    }
  }
}

// Each node's position in document order, numbered once per query and only
// when results of several contexts have to be merged.
class DocumentOrder {
 public:
  explicit DocumentOrder(pugi::xml_node root) : m_root(root) {}

  std::pair<std::size_t, std::size_t> KeyOf(const Node& item) {
    if (m_numbers.empty()) Number();
    const std::size_t number = m_numbers[item.node.internal_object()];
    if (!item.attribute) return {number, 0};
    std::size_t position = 1;
    for (pugi::xml_attribute a = item.node.first_attribute(); a && a != item.attribute;
         a = a.next_attribute())
      ++position;
    return {number, position};
  }

 private:
  void Number() {
    std::size_t next = 0;
    pugi::xml_node node = m_root;
    while (node) {
      m_numbers[node.internal_object()] = next++;
      node = NextInPreorder(node, m_root);
    }
  }

  pugi::xml_node m_root;
  std::unordered_map<pugi::xml_node_struct*, std::size_t> m_numbers;
};

void SortInDocumentOrder(std::vector<Node>& items, DocumentOrder& order) {
  std::vector<std::pair<std::pair<std::size_t, std::size_t>, Node>> keyed;
  keyed.reserve(items.size());
  for (const Node& item : items) keyed.emplace_back(order.KeyOf(item), item);
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  keyed.erase(std::unique(keyed.begin(), keyed.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              keyed.end());
  items.clear();
  for (auto& entry : keyed) items.push_back(entry.second);
}

// The nodes and all their descendants, each once, in document order (the
// nodes come in document order, so an ancestor is always expanded first).
std::vector<Node> DescendantsOrSelf(const std::vector<Node>& nodes) {
  std::vector<Node> all;
  std::unordered_set<pugi::xml_node_struct*> seen;
  for (const Node& item : nodes) {
    if (item.attribute) continue;
    if (seen.count(item.node.internal_object()) != 0) continue;
    for (pugi::xml_node node = item.node; node; node = NextInPreorder(node, item.node)) {
      seen.insert(node.internal_object());
      all.push_back(Node{node, {}});
    }
  }
  return all;
}

// The first node in document order that steps[index..] select from context,
// found without building any node set: candidates are visited in document
// order and the predicates decided as they come, so a step like Store[0] or
// Store[@id="x"] stops at its first match. Only for paths without "//" and
// "..", whose depth-first order is document order.
bool FirstMatch(const Node& context, const std::vector<Step>& steps, std::size_t index,
                Node& result) {
  if (index == steps.size()) {
    result = context;
    return true;
  }
  const Step& step = steps[index];
  std::vector<std::size_t> counts(step.predicates.size(), 0);
  bool exhausted = false;  // a position predicate is past its position
  auto passes = [&](const Node& item) {
    for (std::size_t i = 0; i < step.predicates.size(); ++i) {
      const Predicate& predicate = step.predicates[i];
      if (predicate.position) {
        if (counts[i]++ != *predicate.position) return false;
        exhausted = true;  // no later candidate can hold this position
      } else if (!PassesAttributeTest(item, predicate)) {
        return false;
      }
    }
    return true;
  };
  auto tryItem = [&](const Node& item) {
    return passes(item) && FirstMatch(item, steps, index + 1, result);
  };
  switch (step.axis) {
    case Axis::Child:
      if (context.attribute) return false;
      for (pugi::xml_node child = context.node.first_child(); child && !exhausted;
           child = child.next_sibling()) {
        if (Matches(child, step) && tryItem(Node{child, {}})) return true;
      }
      return false;
    case Axis::Attribute:
      if (context.attribute || context.node.type() != pugi::node_element) return false;
      for (pugi::xml_attribute attribute = context.node.first_attribute(); attribute && !exhausted;
           attribute = attribute.next_attribute()) {
        if ((step.test == NodeTest::Any || step.name == attribute.name()) &&
            tryItem(Node{context.node, attribute}))
          return true;
      }
      return false;
    case Axis::Self:
      return tryItem(context);
    case Axis::Parent:
      break;
  }
  return false;
}

bool StreamsInDocumentOrder(const Query& query) {
  return std::none_of(query.steps.begin(), query.steps.end(), [](const Step& step) {
    return step.descendants || step.axis == Axis::Parent;
  });
}

}  // namespace

Node SelectFirst(const Node& context, std::wstring_view query) {
  const Query parsed = QueryParser(query).Parse();
  if (StreamsInDocumentOrder(parsed)) {
    Node result;
    const Node start = parsed.absolute ? Node{context.node.root(), {}} : context;
    return FirstMatch(start, parsed.steps, 0, result) ? result : Node{};
  }
  std::vector<Node> current;
  current.push_back(parsed.absolute ? Node{context.node.root(), {}} : context);
  DocumentOrder order(context.node.root());
  for (const Step& step : parsed.steps) {
    const std::vector<Node> contexts = step.descendants ? DescendantsOrSelf(current) : current;
    std::vector<Node> next;
    for (const Node& item : contexts) {
      std::vector<Node> found = Candidates(item, step);
      ApplyPredicates(found, step.predicates);
      next.insert(next.end(), found.begin(), found.end());
    }
    if (contexts.size() > 1) SortInDocumentOrder(next, order);
    current = std::move(next);
    if (current.empty()) return Node{};
  }
  return current.front();
}

}  // namespace kalinor::platform::pugixml_dom
