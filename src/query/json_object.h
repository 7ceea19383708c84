// A JSON object built member by member, for the one document that
// `--json` prints. Members keep the order they were added in.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kalinor {

class JsonObject {
 public:
  /// Adds a string member (escaped as JSON asks).
  JsonObject& Add(const std::string& key, const std::wstring& text);
  JsonObject& Add(const std::string& key, const wchar_t* text);
  JsonObject& Add(const std::string& key, bool value);
  JsonObject& Add(const std::string& key, int value);
  JsonObject& Add(const std::string& key, const JsonObject& object);
  /// Adds an array of objects.
  JsonObject& Add(const std::string& key, const std::vector<JsonObject>& objects);

  /// The object as compact JSON text.
  std::wstring Render() const;

 private:
  JsonObject& AddRendered(const std::string& key, std::wstring rendered);

  std::vector<std::pair<std::string, std::wstring>> members_;
};

/// text as a JSON string literal, quotes included, always valid UTF-8 once
/// encoded: controls (C0, DEL, C1), U+2028/U+2029 and bidirectional
/// controls as \uXXXX; a unit with no Unicode form (a POSIX name's byte
/// that is not UTF-8, an unpaired UTF-16 surrogate) as \ufffd.
std::wstring JsonString(const std::wstring& text);

}  // namespace kalinor
