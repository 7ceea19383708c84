// The registry stand-in: a read-only view of a file in the Windows .reg text
// format ("Windows Registry Editor Version 5.00"), so that every kind of
// value the tool may meet, odd ones included, can be written by hand:
//
//   [HKEY_CURRENT_USER\Software\Policies\Tavrin\Pellucor]
//   "DataPath"="%userprofile%\\Data"      REG_SZ, stored as UTF-16LE with its NUL
//   @="default value"                     the key's unnamed value
//   "Expand"=hex(2):25,00,00,00           REG_EXPAND_SZ, raw bytes
//   "Bytes"=hex:01,02,\                   REG_BINARY; a trailing backslash
//     03                                  continues the line
//   "Number"=dword:0000002a               REG_DWORD
//   "Other"=hex(7):00,00                  any type by its hexadecimal number
//
// The file is UTF-8, or UTF-16LE with a byte-order mark as regedit writes it.
// It is read afresh on every query. A file that does not parse as a whole
// holds no values: the tool then behaves as with an empty registry.
#include <map>
#include <optional>
#include <tuple>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/utf16le.h"

namespace kalinor::platform {

namespace {

constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
// A whole user hive exported by regedit runs to tens of megabytes; the file
// the tool reads holds a handful of keys. Past 64 MiB it is no registry file.
constexpr std::size_t kLargestRegistryFile = 64 * 1024 * 1024;

// A value's place: root, key path and value name, the last two lower-cased
// because the registry ignores their case.
using ValuePlace = std::tuple<RegistryRoot, std::wstring, std::wstring>;
using RegistryValues = std::map<ValuePlace, RegistryValue>;

std::wstring RegistryFilePath() {
  std::wstring path = GetEnvironmentVariableText(L"KALINOR_REGISTRY");
  if (!path.empty()) return path;
  const std::wstring config = XdgBaseFolder(L"XDG_CONFIG_HOME", L".config");
  return config.empty() ? std::wstring() : config + L"/kalinor/registry.reg";
}

std::wstring DecodeFileText(const std::string& bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    return FromUtf16Le(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2, bytes.size() - 2);
  }
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return FromUtf8(std::string_view(bytes).substr(3));
  return FromUtf8(bytes);
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view TrimBlanks(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == L'\r')) text.remove_suffix(1);
  return text;
}

// Splits the text into logical lines: a line ending in a backslash goes on
// with the next line, whose leading blanks are dropped.
std::vector<std::wstring> LogicalLines(std::wstring_view text) {
  std::vector<std::wstring> lines;
  std::wstring current;
  bool continuing = false;
  while (!text.empty() || continuing) {
    std::size_t end = text.find(L'\n');
    std::wstring_view line = TrimBlanks(text.substr(0, end));
    text = end == std::wstring_view::npos ? std::wstring_view() : text.substr(end + 1);
    current += line;
    continuing = !current.empty() && current.back() == L'\\' && !text.empty();
    if (continuing) {
      current.pop_back();
      continue;
    }
    lines.push_back(std::move(current));
    current.clear();
  }
  return lines;
}

// 1 to 8 hexadecimal digits, nothing else.
std::optional<std::uint32_t> ParseHexNumber(std::wstring_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t number = 0;
  for (wchar_t c : digits) {
    int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    number = number * 16 + static_cast<std::uint32_t>(digit);
  }
  return number;
}

// "aa,bb, cc": bytes of one or two hex digits, separated by commas.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::wstring_view list) {
  std::vector<std::uint8_t> bytes;
  list = TrimBlanks(list);
  if (list.empty()) return bytes;
  if (list.back() == L',') list.remove_suffix(1);  // a line may end "aa,bb,"
  for (;;) {
    std::size_t comma = list.find(L',');
    std::wstring_view item = TrimBlanks(list.substr(0, comma));
    auto value = ParseHexNumber(item);
    if (!value || item.size() > 2) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(*value));
    if (comma == std::wstring_view::npos) return bytes;
    list.remove_prefix(comma + 1);
  }
}

// A double-quoted text at the start of `text` with the escapes \\ and \";
// `text` is left after the closing quote.
std::optional<std::wstring> ParseQuoted(std::wstring_view& text) {
  if (text.empty() || text.front() != L'"') return std::nullopt;
  std::wstring result;
  for (std::size_t i = 1; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'"') {
      text.remove_prefix(i + 1);
      return result;
    }
    if (c == L'\\') {
      if (i + 1 >= text.size() || (text[i + 1] != L'\\' && text[i + 1] != L'"'))
        return std::nullopt;
      c = text[++i];
    }
    result.push_back(c);
  }
  return std::nullopt;  // no closing quote
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() &&
         AsciiLower(std::wstring(text.substr(0, prefix.size()))) == prefix;
}

// The data after "=": a quoted string, dword:, hex: or hex(N):.
std::optional<RegistryValue> ParseValueData(std::wstring_view data) {
  RegistryValue value;
  if (!data.empty() && data.front() == L'"') {
    auto text = ParseQuoted(data);
    if (!text || !TrimBlanks(data).empty()) return std::nullopt;
    value.type = kRegSz;
    value.data = ToUtf16Le(*text);
    value.data.insert(value.data.end(), {0, 0});
    return value;
  }
  if (StartsWithIgnoringCase(data, L"dword:")) {
    auto number = ParseHexNumber(data.substr(6));
    if (!number) return std::nullopt;
    value.type = kRegDword;
    for (int shift = 0; shift < 32; shift += 8)
      value.data.push_back(static_cast<std::uint8_t>((*number >> shift) & 0xFF));
    return value;
  }
  if (StartsWithIgnoringCase(data, L"hex:")) {
    value.type = kRegBinary;
    data.remove_prefix(4);
  } else if (StartsWithIgnoringCase(data, L"hex(")) {
    std::size_t close = data.find(L"):");
    if (close == std::wstring_view::npos) return std::nullopt;
    auto type = ParseHexNumber(data.substr(4, close - 4));
    if (!type) return std::nullopt;
    value.type = *type;
    data.remove_prefix(close + 2);
  } else {
    return std::nullopt;
  }
  auto bytes = ParseHexBytes(data);
  if (!bytes) return std::nullopt;
  value.data = std::move(*bytes);
  return value;
}

// Reads the file's lines into values; nullopt when any line is malformed.
class RegFileParser {
 public:
  std::optional<RegistryValues> Parse(std::wstring_view text) {
    bool header_seen = false;
    for (const std::wstring& line : LogicalLines(text)) {
      std::wstring_view rest = TrimBlanks(line);
      if (rest.empty() || rest.front() == L';') continue;
      if (!header_seen) {
        if (rest != L"Windows Registry Editor Version 5.00") return std::nullopt;
        header_seen = true;
        continue;
      }
      bool parsed = rest.front() == L'[' ? ParseSection(rest) : ParseValueLine(rest);
      if (!parsed) return std::nullopt;
    }
    if (!header_seen) return std::nullopt;
    return std::move(values_);
  }

 private:
  enum class Section { None, Kept, Ignored };

  bool ParseSection(std::wstring_view line) {
    if (line.back() != L']') return false;
    line = line.substr(1, line.size() - 2);
    bool deletion = !line.empty() && line.front() == L'-';
    if (deletion) line.remove_prefix(1);
    std::size_t slash = line.find(L'\\');
    std::wstring root_name = AsciiLower(std::wstring(line.substr(0, slash)));
    std::wstring key = slash == std::wstring_view::npos
                           ? std::wstring()
                           : AsciiLower(std::wstring(line.substr(slash + 1)));
    section_ = Section::Kept;
    if (root_name == L"hkey_current_user") {
      root_ = RegistryRoot::CurrentUser;
    } else if (root_name == L"hkey_local_machine") {
      root_ = RegistryRoot::LocalMachine;
    } else if (root_name == L"hkey_classes_root" || root_name == L"hkey_users" ||
               root_name == L"hkey_current_config") {
      section_ = Section::Ignored;  // roots the tool never reads
    } else {
      return false;
    }
    if (deletion) {
      if (section_ == Section::Kept) DeleteKey(key);
      section_ = Section::Ignored;
    }
    key_ = std::move(key);
    return true;
  }

  // [-key] removes the key and everything below it. The values are sorted by
  // root, key and name, so the key's own values and those of the keys below
  // it ("key\\...") are two runs, each found by one lookup.
  void DeleteKey(const std::wstring& key) {
    EraseRun(key, [&](const std::wstring& found) { return found == key; });
    const std::wstring below = key + L'\\';
    EraseRun(below,
             [&](const std::wstring& found) { return found.compare(0, below.size(), below) == 0; });
  }

  template <class KeyMatches>
  void EraseRun(const std::wstring& first_key, KeyMatches matches) {
    auto end = values_.lower_bound(ValuePlace{root_, first_key, std::wstring()});
    const auto begin = end;
    while (end != values_.end() && std::get<0>(end->first) == root_ &&
           matches(std::get<1>(end->first)))
      ++end;
    values_.erase(begin, end);
  }

  bool ParseValueLine(std::wstring_view line) {
    if (section_ == Section::None) return false;
    std::wstring name;
    if (line.front() == L'@') {
      line.remove_prefix(1);
    } else {
      auto quoted = ParseQuoted(line);
      if (!quoted) return false;
      name = std::move(*quoted);
    }
    line = TrimBlanks(line);
    if (line.empty() || line.front() != L'=') return false;
    line = TrimBlanks(line.substr(1));
    ValuePlace place{root_, key_, AsciiLower(name)};
    if (line == L"-") {
      if (section_ == Section::Kept) values_.erase(place);
      return true;
    }
    auto value = ParseValueData(line);
    if (!value) return false;
    if (section_ == Section::Kept) values_[place] = std::move(*value);
    return true;
  }

  RegistryValues values_;
  Section section_ = Section::None;
  RegistryRoot root_ = RegistryRoot::CurrentUser;
  std::wstring key_;
};

}  // namespace

RegistryPresence LookUpRegistryValue(RegistryRoot root, const std::wstring& subkey,
                                     const std::wstring& name, RegistryView) {
  std::string bytes;
  if (const SystemError error = ReadWholeFile(RegistryFilePath(), bytes, kLargestRegistryFile);
      error.Failed())
    return error.Kind() == ErrorKind::kNotFound ? RegistryPresence::kAbsent
                                                : RegistryPresence::kUnknown;
  auto values = RegFileParser().Parse(DecodeFileText(bytes));
  if (!values) return RegistryPresence::kUnknown;
  return values->count(ValuePlace{root, AsciiLower(subkey), AsciiLower(name)}) != 0
             ? RegistryPresence::kPresent
             : RegistryPresence::kAbsent;
}

bool ReadRegistryValue(RegistryRoot root, const std::wstring& subkey, const std::wstring& name,
                       std::size_t max_bytes, RegistryValue& value, RegistryView) {
  std::string bytes;
  if (ReadWholeFile(RegistryFilePath(), bytes, kLargestRegistryFile).Failed()) return false;
  auto values = RegFileParser().Parse(DecodeFileText(bytes));
  if (!values) return false;
  auto found = values->find(ValuePlace{root, AsciiLower(subkey), AsciiLower(name)});
  if (found == values->end() || found->second.data.size() > max_bytes) return false;
  value = found->second;
  return true;
}

}  // namespace kalinor::platform
