#include "query/json_object.h"

#include "platform/text.h"

namespace kalinor {

std::wstring JsonString(const std::wstring& text) {
  std::wstring out = L"\"";
  for (const wchar_t c : text) {
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
        if (static_cast<unsigned>(c) < 0x20)
          out += platform::FormatText(L"\\u%04x", static_cast<unsigned>(c));
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
