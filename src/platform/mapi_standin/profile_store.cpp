#include "platform/mapi_standin/profile_store.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/text.h"

namespace kalinor::platform::mapi_standin {
namespace {

struct Element {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
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
  AppendUtf8(out, code);
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

// An attribute value as XML reads it: references replaced, each line break
// or tab turned into one space.
bool DecodeAttributeValue(std::string_view raw, std::string& value) {
  value.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '<') return false;
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

  // Skips white space, comments and processing instructions (the XML
  // declaration among them).
  bool SkipMisc() {
    for (;;) {
      SkipWhitespace();
      if (StartsWith("<!--")) {
        if (!SkipPast("-->", 4)) return false;
      } else if (StartsWith("<?")) {
        if (!SkipPast("?>", 2)) return false;
      } else {
        return true;
      }
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
        return true;
      }
      if (Consume('>')) return true;
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

 private:
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
    if (!ReadName(name) || element.Attribute(name) != nullptr) return false;
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
  return FromUtf8(*value);
}

bool FlagAttribute(const Element& element, std::string_view name) {
  const std::string* value = element.Attribute(name);
  return value != nullptr && (EqualsIgnoringAsciiCase(*value, "true") || *value == "1");
}

// Reads the content of an element that holds nothing but white space,
// comments and processing instructions, up to its end tag.
bool ReadEmptyContent(XmlCursor& cursor, const Element& element) {
  if (element.self_closing) return true;
  return cursor.SkipMisc() && cursor.ReadEndTag(element.name);
}

bool ReadService(XmlCursor& cursor, const Element& element, StoredService& service) {
  const std::string* uid = element.Attribute("uid");
  if (uid == nullptr || !ParseMapiUid(*uid, service.uid)) return false;
  service.name = TextAttribute(element, "name");
  service.display_name = TextAttribute(element, "displayName");
  service.configured = FlagAttribute(element, "configured");
  return ReadEmptyContent(cursor, element);
}

bool ReadProfile(XmlCursor& cursor, const Element& element, StoredProfile& profile) {
  profile.name = TextAttribute(element, "name");
  profile.is_default = FlagAttribute(element, "default");
  if (element.self_closing) return true;
  for (;;) {
    if (!cursor.SkipMisc()) return false;
    if (cursor.StartsWith("</")) return cursor.ReadEndTag(element.name);
    Element child;
    if (!cursor.ReadStartTag(child) || child.name != "Service") return false;
    if (!ReadService(cursor, child, profile.services.emplace_back())) return false;
  }
}

bool ReadProfiles(XmlCursor& cursor, ProfileStore& store) {
  Element root;
  if (!cursor.SkipMisc() || !cursor.ReadStartTag(root) || root.name != "Profiles") return false;
  if (!root.self_closing) {
    for (;;) {
      if (!cursor.SkipMisc()) return false;
      if (cursor.StartsWith("</")) {
        if (!cursor.ReadEndTag(root.name)) return false;
        break;
      }
      Element child;
      if (!cursor.ReadStartTag(child) || child.name != "Profile") return false;
      if (!ReadProfile(cursor, child, store.profiles.emplace_back())) return false;
    }
  }
  return cursor.SkipMisc() && cursor.AtEnd();
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

void AppendOptionalAttribute(std::string& out, std::string_view name,
                             const std::optional<std::wstring>& value) {
  if (value) AppendAttribute(out, name, ToUtf8(*value));
}

void AppendService(std::string& out, const StoredService& service) {
  out += "    <Service";
  AppendOptionalAttribute(out, "name", service.name);
  AppendOptionalAttribute(out, "displayName", service.display_name);
  AppendAttribute(out, "uid", FormatMapiUid(service.uid));
  AppendAttribute(out, "configured", service.configured ? "true" : "false");
  out += "/>\n";
}

void AppendProfile(std::string& out, const StoredProfile& profile) {
  out += "  <Profile";
  AppendOptionalAttribute(out, "name", profile.name);
  if (profile.is_default) AppendAttribute(out, "default", "true");
  if (profile.services.empty()) {
    out += "/>\n";
    return;
  }
  out += ">\n";
  for (const StoredService& service : profile.services) AppendService(out, service);
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
  store.profiles.clear();
  XmlCursor cursor(xml);
  if (ReadProfiles(cursor, store)) return true;
  store.profiles.clear();
  return false;
}

std::string SerializeProfileStore(const ProfileStore& store) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Profiles>\n";
  for (const StoredProfile& profile : store.profiles) AppendProfile(out, profile);
  out += "</Profiles>\n";
  return out;
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
    const int high = HexDigitValue(text[2 * i]);
    const int low = HexDigitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    parsed.ab[i] = static_cast<BYTE>(high * 16 + low);
  }
  uid = parsed;
  return true;
}

StoredProfile* FindProfile(ProfileStore& store, const std::wstring& name) {
  const std::wstring wanted = AsciiLower(name);
  for (StoredProfile& profile : store.profiles)
    if (profile.name && AsciiLower(*profile.name) == wanted) return &profile;
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

}  // namespace kalinor::platform::mapi_standin
