#include "standin/mapi/profile_store.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/text.h"

namespace kalinor::mapi_standin {
namespace {

struct Element {
  std::string name;
  KeptAttributes attributes;
  bool self_closing = false;

  const std::string* Attribute(std::string_view attribute_name) const {
    for (const auto& [key, value] : attributes)
      if (key == attribute_name) return &value;
    return nullptr;
  }
};

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameChar(char c) {
  return !IsXmlSpace(c) && std::strchr("<>/=!?\"'&", c) == nullptr && c != '\0';
}

// The names of the known elements: one of them anywhere but in its place
// makes the file malformed.
bool IsKnownElement(std::string_view name) {
  return name == "Profiles" || name == "Profile" || name == "Service";
}

// A numeric character reference's digits ("#65" or "#x41" without the '#').
bool DecodeCharacterReference(std::string_view digits, std::string& out) {
  int base = 10;
  if (!digits.empty() && digits[0] == 'x') {
    base = 16;
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.size() > 8) return false;
  char32_t code = 0;
  for (char c : digits) {
    int value;
    if (c >= '0' && c <= '9')
      value = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      value = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      value = c - 'A' + 10;
    else
      return false;
    code = code * base + value;
  }
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
  platform::AppendUtf8(out, code);
  return true;
}

bool DecodeEntity(std::string_view entity, std::string& out) {
  if (entity == "lt")
    out += '<';
  else if (entity == "gt")
    out += '>';
  else if (entity == "amp")
    out += '&';
  else if (entity == "quot")
    out += '"';
  else if (entity == "apos")
    out += '\'';
  else if (!entity.empty() && entity[0] == '#')
    return DecodeCharacterReference(entity.substr(1), out);
  else
    return false;
  return true;
}

// An attribute value or a text as XML reads it: references replaced, each
// line break or tab turned into one space. A raw control character other
// than those is not XML (and could not be written back as read).
bool DecodeAttributeValue(std::string_view raw, std::string& value) {
  value.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '<' || (static_cast<unsigned char>(c) < 0x20 && !IsXmlSpace(c))) return false;
    if (c == '&') {
      const size_t end = raw.find(';', i);
      if (end == std::string_view::npos || !DecodeEntity(raw.substr(i + 1, end - i - 1), value))
        return false;
      i = end;
    } else if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
      continue;
    } else {
      value += IsXmlSpace(c) ? ' ' : c;
    }
  }
  return true;
}

// True when no two attributes share a name; sorted, so that an element
// with many attributes costs no more than reading them.
bool NamesAreUnique(const KeptAttributes& attributes) {
  std::vector<std::string_view> names;
  names.reserve(attributes.size());
  for (const auto& attribute : attributes) names.push_back(attribute.first);
  std::sort(names.begin(), names.end());
  return std::adjacent_find(names.begin(), names.end()) == names.end();
}

// Walks the bytes of the document; every Read/Skip returns false on
// malformed input and then the parse stops.
class XmlCursor {
 public:
  explicit XmlCursor(std::string_view text) : m_text(text) {
    if (StartsWith("\xEF\xBB\xBF")) m_pos = 3;
  }

  bool AtEnd() const { return m_pos >= m_text.size(); }
  bool StartsWith(std::string_view prefix) const {
    return m_text.substr(m_pos).starts_with(prefix);
  }
  size_t Position() const { return m_pos; }
  std::string TextSince(size_t start) const {
    return std::string(m_text.substr(start, m_pos - start));
  }

  // Skips white space and reads comments and processing instructions into
  // kept, each as its text; the XML declaration is skipped.
  bool ReadMisc(KeptNodes& kept) {
    for (;;) {
      SkipWhitespace();
      const size_t start = m_pos;
      if (StartsWith("<!--")) {
        if (!SkipPast("-->", 4)) return false;
      } else if (StartsWith("<?")) {
        const bool declaration = IsXmlDeclaration();
        if (!SkipPast("?>", 2)) return false;
        if (declaration) continue;
      } else {
        return true;
      }
      kept.push_back(TextSince(start));
    }
  }

  bool ReadStartTag(Element& element) {
    if (!Consume('<')) return false;
    if (!ReadName(element.name)) return false;
    for (;;) {
      const bool separated = SkipWhitespace();
      if (StartsWith("/>")) {
        m_pos += 2;
        element.self_closing = true;
        return NamesAreUnique(element.attributes);
      }
      if (Consume('>')) return NamesAreUnique(element.attributes);
      if (!separated || !ReadAttribute(element)) return false;
    }
  }

  bool ReadEndTag(std::string_view name) {
    std::string found;
    if (!StartsWith("</")) return false;
    m_pos += 2;
    if (!ReadName(found) || found != name) return false;
    SkipWhitespace();
    return Consume('>');
  }

  // Skips the content and end tag of an element the stand-in does not know,
  // checking that it is well-formed. No recursion: nesting depth is the
  // file's to choose.
  bool SkipUnknownContent(const Element& element) {
    if (element.self_closing) return true;
    std::vector<std::string> open{element.name};
    std::string scratch;
    while (!open.empty()) {
      const size_t markup = m_text.find('<', m_pos);
      if (markup == std::string_view::npos ||
          !DecodeAttributeValue(m_text.substr(m_pos, markup - m_pos), scratch))
        return false;
      m_pos = markup;
      if (StartsWith("<!--")) {
        if (!SkipPast("-->", 4)) return false;
      } else if (StartsWith("<![CDATA[")) {
        if (!SkipPast("]]>", 9)) return false;
      } else if (StartsWith("<?")) {
        if (!SkipPast("?>", 2)) return false;
      } else if (StartsWith("</")) {
        if (!ReadEndTag(open.back())) return false;
        open.pop_back();
      } else {
        Element child;
        if (!ReadStartTag(child) || IsKnownElement(child.name)) return false;
        if (!child.self_closing) open.push_back(std::move(child.name));
      }
    }
    return true;
  }

 private:
  bool IsXmlDeclaration() const {
    return m_pos == FirstPosition() && StartsWith("<?xml") && m_pos + 5 < m_text.size() &&
           IsXmlSpace(m_text[m_pos + 5]);
  }
  size_t FirstPosition() const { return m_text.starts_with("\xEF\xBB\xBF") ? 3 : 0; }

  bool SkipWhitespace() {
    const size_t start = m_pos;
    while (!AtEnd() && IsXmlSpace(m_text[m_pos])) ++m_pos;
    return m_pos != start;
  }

  bool SkipPast(std::string_view terminator, size_t opener_length) {
    const size_t end = m_text.find(terminator, m_pos + opener_length);
    if (end == std::string_view::npos) return false;
    m_pos = end + terminator.size();
    return true;
  }

  bool Consume(char c) {
    if (AtEnd() || m_text[m_pos] != c) return false;
    ++m_pos;
    return true;
  }

  bool ReadName(std::string& name) {
    const size_t start = m_pos;
    while (!AtEnd() && IsNameChar(m_text[m_pos])) ++m_pos;
    name.assign(m_text.substr(start, m_pos - start));
    return !name.empty();
  }

  bool ReadAttribute(Element& element) {
    std::string name;
    if (!ReadName(name)) return false;
    SkipWhitespace();
    if (!Consume('=')) return false;
    SkipWhitespace();
    if (AtEnd() || (m_text[m_pos] != '"' && m_text[m_pos] != '\'')) return false;
    const char quote = m_text[m_pos++];
    const size_t end = m_text.find(quote, m_pos);
    if (end == std::string_view::npos) return false;
    std::string value;
    if (!DecodeAttributeValue(m_text.substr(m_pos, end - m_pos), value)) return false;
    m_pos = end + 1;
    element.attributes.emplace_back(std::move(name), std::move(value));
    return true;
  }

  std::string_view m_text;
  size_t m_pos = 0;
};

std::optional<std::wstring> TextAttribute(const Element& element, std::string_view name) {
  const std::string* value = element.Attribute(name);
  if (value == nullptr) return std::nullopt;
  return platform::FromUtf8(*value);
}

bool FlagAttribute(const Element& element, std::string_view name) {
  const std::string* value = element.Attribute(name);
  return value != nullptr && (platform::EqualsIgnoringAsciiCase(*value, "true") || *value == "1");
}

// Reads an element's content up to its end tag. Children named child_name
// go to read_child, with the unknown nodes just before them; other elements,
// comments and processing instructions are kept, and what follows the last
// such child goes to after. White space between them is dropped.
template <class ReadChild>
bool ReadContent(XmlCursor& cursor, const Element& element, std::string_view child_name,
                 KeptNodes& after, ReadChild read_child) {
  if (element.self_closing) return true;
  KeptNodes pending;
  for (;;) {
    if (!cursor.ReadMisc(pending)) return false;
    if (cursor.StartsWith("</")) {
      after = std::move(pending);
      return cursor.ReadEndTag(element.name);
    }
    const size_t start = cursor.Position();
    Element child;
    if (!cursor.ReadStartTag(child)) return false;
    if (child.name == child_name) {
      if (!read_child(child, std::move(pending))) return false;
      pending.clear();
    } else {
      if (IsKnownElement(child.name) || !cursor.SkipUnknownContent(child)) return false;
      pending.push_back(cursor.TextSince(start));
    }
  }
}

bool ReadService(XmlCursor& cursor, Element& element, StoredService& service) {
  const std::string* uid = element.Attribute("uid");
  if (uid == nullptr || !ParseMapiUid(*uid, service.uid)) return false;
  service.name = TextAttribute(element, "name");
  service.display_name = TextAttribute(element, "displayName");
  service.configured = FlagAttribute(element, "configured");
  service.attributes = std::move(element.attributes);
  return ReadContent(cursor, element, {}, service.content,
                     [](const Element&, KeptNodes&&) { return false; });
}

bool ReadProfile(XmlCursor& cursor, Element& element, StoredProfile& profile) {
  profile.name = TextAttribute(element, "name");
  profile.is_default = FlagAttribute(element, "default");
  profile.attributes = std::move(element.attributes);
  return ReadContent(cursor, element, "Service", profile.after,
                     [&](Element& child, KeptNodes&& before) {
                       StoredService& service = profile.services.emplace_back();
                       service.before = std::move(before);
                       return ReadService(cursor, child, service);
                     });
}

bool ReadProfiles(XmlCursor& cursor, ProfileStore& store) {
  Element root;
  if (!cursor.ReadMisc(store.prolog) || !cursor.ReadStartTag(root) || root.name != "Profiles")
    return false;
  store.attributes = std::move(root.attributes);
  const bool read =
      ReadContent(cursor, root, "Profile", store.after, [&](Element& child, KeptNodes&& before) {
        StoredProfile& profile = store.profiles.emplace_back();
        profile.before = std::move(before);
        return ReadProfile(cursor, child, profile);
      });
  return read && cursor.ReadMisc(store.epilog) && cursor.AtEnd();
}

void AppendEscaped(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          // Kept as references: a raw line break or tab would read back as a space.
          out += "&#x";
          if (c >= 0x10) out += kHex[c >> 4];
          out += kHex[c & 0xF];
          out += ';';
        } else {
          out += c;
        }
    }
  }
}

void AppendAttribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  AppendEscaped(out, value);
  out += '"';
}

std::optional<std::string> Utf8(const std::optional<std::wstring>& text) {
  if (!text) return std::nullopt;
  return platform::ToUtf8(*text);
}

// An element's known attributes, by name, with their current values (none:
// dropped).
using KnownAttributes = std::vector<std::pair<std::string_view, std::optional<std::string>>>;

// The attributes as read, in their order, the known ones with their current
// values; then the known ones the element did not have yet.
void AppendAttributes(std::string& out, const KeptAttributes& read, const KnownAttributes& known) {
  std::vector<bool> written(known.size(), false);
  for (const auto& [name, value] : read) {
    size_t k = 0;
    while (k < known.size() && known[k].first != name) ++k;
    if (k == known.size()) {
      AppendAttribute(out, name, value);
      continue;
    }
    if (known[k].second && !written[k]) AppendAttribute(out, name, *known[k].second);
    written[k] = true;
  }
  for (size_t k = 0; k < known.size(); ++k)
    if (!written[k] && known[k].second) AppendAttribute(out, known[k].first, *known[k].second);
}

void AppendNodes(std::string& out, const KeptNodes& nodes, std::string_view indent) {
  for (const std::string& node : nodes) {
    out += indent;
    out += node;
    out += '\n';
  }
}

void AppendService(std::string& out, const StoredService& service) {
  AppendNodes(out, service.before, "    ");
  out += "    <Service";
  AppendAttributes(out, service.attributes,
                   {{"name", Utf8(service.name)},
                    {"displayName", Utf8(service.display_name)},
                    {"uid", FormatMapiUid(service.uid)},
                    {"configured", service.configured ? "true" : "false"}});
  if (service.content.empty()) {
    out += "/>\n";
    return;
  }
  out += ">\n";
  AppendNodes(out, service.content, "      ");
  out += "    </Service>\n";
}

void AppendProfile(std::string& out, const StoredProfile& profile) {
  AppendNodes(out, profile.before, "  ");
  out += "  <Profile";
  AppendAttributes(
      out, profile.attributes,
      {{"name", Utf8(profile.name)},
       {"default", profile.is_default ? std::optional<std::string>("true") : std::nullopt}});
  if (profile.services.empty() && profile.after.empty()) {
    out += "/>\n";
    return;
  }
  out += ">\n";
  for (const StoredService& service : profile.services) AppendService(out, service);
  AppendNodes(out, profile.after, "    ");
  out += "  </Profile>\n";
}

}  // namespace

ProfileStore EmbeddedDefaultStore() {
  ProfileStore store;
  StoredProfile& profile = store.profiles.emplace_back();
  profile.name = L"Default";
  profile.is_default = true;
  return store;
}

bool ParseProfileStore(std::string_view xml, ProfileStore& store) {
  store = ProfileStore();
  XmlCursor cursor(xml);
  if (ReadProfiles(cursor, store)) return true;
  store = ProfileStore();
  return false;
}

std::string SerializeProfileStore(const ProfileStore& store) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  AppendNodes(out, store.prolog, "");
  out += "<Profiles";
  AppendAttributes(out, store.attributes, {});
  out += ">\n";
  for (const StoredProfile& profile : store.profiles) AppendProfile(out, profile);
  AppendNodes(out, store.after, "  ");
  out += "</Profiles>\n";
  AppendNodes(out, store.epilog, "");
  return out;
}

void RemoveService(StoredProfile& profile, const StoredService& service) {
  const auto at = profile.services.begin() + (&service - profile.services.data());
  KeptNodes& heir = at + 1 == profile.services.end() ? profile.after : (at + 1)->before;
  heir.insert(heir.begin(), at->before.begin(), at->before.end());
  profile.services.erase(at);
}

std::string FormatMapiUid(const MAPIUID& uid) {
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (BYTE b : uid.ab) {
    text += kHex[b >> 4];
    text += kHex[b & 0xF];
  }
  return text;
}

bool ParseMapiUid(std::string_view text, MAPIUID& uid) {
  if (text.size() != 2 * sizeof(uid.ab)) return false;
  MAPIUID parsed{};
  for (size_t i = 0; i < sizeof(uid.ab); ++i) {
    const int high = platform::HexDigitValue(text[2 * i]);
    const int low = platform::HexDigitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    parsed.ab[i] = static_cast<BYTE>(high * 16 + low);
  }
  uid = parsed;
  return true;
}

StoredProfile* FindProfile(ProfileStore& store, const std::wstring& name) {
  const std::wstring wanted = platform::AsciiLower(name);
  for (StoredProfile& profile : store.profiles)
    if (profile.name && platform::AsciiLower(*profile.name) == wanted) return &profile;
  return nullptr;
}

StoredService* FindServiceByUid(StoredProfile& profile, const MAPIUID& uid) {
  for (StoredService& service : profile.services)
    if (std::memcmp(service.uid.ab, uid.ab, sizeof(uid.ab)) == 0) return &service;
  return nullptr;
}

bool StoreHasUid(const ProfileStore& store, const MAPIUID& uid) {
  return std::any_of(
      store.profiles.begin(), store.profiles.end(), [&](const StoredProfile& profile) {
        return std::any_of(profile.services.begin(), profile.services.end(),
                           [&](const StoredService& service) {
                             return std::memcmp(service.uid.ab, uid.ab, sizeof(uid.ab)) == 0;
                           });
      });
}

}  // namespace kalinor::mapi_standin
