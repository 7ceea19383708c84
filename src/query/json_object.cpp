#include "query/json_object.h"

#include <cstdint>

#include "platform/text.h"

namespace kalinor {

namespace {

bool IsSurrogate(std::uint32_t code) { return code >= 0xD800 && code <= 0xDFFF; }

bool IsHighSurrogate(std::uint32_t code) { return code >= 0xD800 && code <= 0xDBFF; }

bool IsLowSurrogate(std::uint32_t code) { return code >= 0xDC00 && code <= 0xDFFF; }

// Shown as \uXXXX rather than as itself: controls (C0, DEL, C1) and the
// characters that end or turn a line in a viewer (U+2028, U+2029, bidi).
bool IsEscapedAsCode(std::uint32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
         code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}

}  // namespace

std::wstring JsonString(const std::wstring& text) {
  std::wstring out = L"\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    const auto code = static_cast<std::uint32_t>(c);
    // A UTF-16 surrogate pair (Windows) is one character and stays; any other
    // surrogate (an unpaired one, or a POSIX name's undecodable byte) or a
    // value beyond Unicode has no UTF-8 form and is written as U+FFFD.
    if (sizeof(wchar_t) == 2 && IsHighSurrogate(code) && i + 1 < text.size() &&
        IsLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
      out += c;
      out += text[++i];
      continue;
    }
    if (IsSurrogate(code) || code > 0x10FFFF) {
      out += L"\\ufffd";
      continue;
    }
    switch (c) {
      case L'"':
        out += L"\\\"";
        break;
      case L'\\':
        out += L"\\\\";
        break;
      case L'\n':
        out += L"\\n";
        break;
      case L'\r':
        out += L"\\r";
        break;
      case L'\t':
        out += L"\\t";
        break;
      default:
        if (IsEscapedAsCode(code))
          out += platform::FormatText(L"\\u%04x", static_cast<unsigned>(code));
        else
          out += c;
    }
  }
  return out + L"\"";
}

JsonObject& JsonObject::Add(const std::string& key, const std::wstring& text) {
  return AddRendered(key, JsonString(text));
}

JsonObject& JsonObject::Add(const std::string& key, const wchar_t* text) {
  return AddRendered(key, JsonString(text));
}

JsonObject& JsonObject::Add(const std::string& key, bool value) {
  return AddRendered(key, value ? L"true" : L"false");
}

JsonObject& JsonObject::Add(const std::string& key, int value) {
  return AddRendered(key, std::to_wstring(value));
}

JsonObject& JsonObject::Add(const std::string& key, const JsonObject& object) {
  return AddRendered(key, object.Render());
}

JsonObject& JsonObject::Add(const std::string& key, const std::vector<JsonObject>& objects) {
  std::wstring rendered = L"[";
  for (const JsonObject& object : objects) {
    if (rendered.size() > 1) rendered += L",";
    rendered += object.Render();
  }
  return AddRendered(key, rendered + L"]");
}

std::wstring JsonObject::Render() const {
  std::wstring out = L"{";
  for (const auto& [key, value] : members_) {
    if (out.size() > 1) out += L",";
    out += JsonString(platform::FromUtf8(key)) + L":" + value;
  }
  return out + L"}";
}

JsonObject& JsonObject::AddRendered(const std::string& key, std::wstring rendered) {
  members_.emplace_back(key, std::move(rendered));
  return *this;
}

}  // namespace kalinor
