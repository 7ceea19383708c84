// The catalogue's reader, the same on every build; where the file lies is the
// system's (win32/) or the stand-in MAPI's (src/standin/posix/).
#include "platform/mapi_service_catalogue.h"

#include "platform/files.h"
#include "platform/text.h"
#include "platform/utf16le.h"

namespace kalinor::platform {

namespace {

// Windows' own mapisvc.inf, with every provider of a full Office install,
// stays below 100 KiB; a file past 4 MiB is no service catalogue.
constexpr std::size_t kLargestServiceCatalogue = 4 * 1024 * 1024;

std::wstring DecodeCatalogue(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) {
    bytes.remove_prefix(2);
    return FromUtf16Le(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) return FromUtf8(bytes.substr(3));
  return FromAnsiCodePage(bytes);
}

std::wstring_view Trimmed(std::wstring_view text) {
  const std::size_t first = text.find_first_not_of(L" \t\r");
  if (first == std::wstring_view::npos) return {};
  const std::size_t last = text.find_last_not_of(L" \t\r");
  return text.substr(first, last - first + 1);
}

std::wstring_view Unquoted(std::wstring_view text) {
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
    return text.substr(1, text.size() - 2);
  return text;
}

}  // namespace

std::vector<MapiServiceEntry> ParseMapiServices(std::string_view bytes) {
  std::vector<MapiServiceEntry> services;
  const std::wstring decoded = DecodeCatalogue(bytes);
  std::wstring_view text = decoded;
  bool inServices = false;
  while (!text.empty()) {
    const std::size_t end = text.find(L'\n');
    const std::wstring_view line = Trimmed(text.substr(0, end));
    text = end == std::wstring_view::npos ? std::wstring_view() : text.substr(end + 1);
    if (line.empty() || line.front() == L';') continue;
    if (line.front() == L'[') {
      inServices = AsciiLower(std::wstring(line)) == L"[services]";
      continue;
    }
    const std::size_t equals = line.find(L'=');
    if (!inServices || equals == std::wstring_view::npos) continue;
    const std::wstring_view name = Trimmed(line.substr(0, equals));
    if (name.empty()) continue;
    services.push_back(MapiServiceEntry{std::wstring(name),
                                        std::wstring(Unquoted(Trimmed(line.substr(equals + 1))))});
  }
  return services;
}

std::optional<std::wstring> ListedServiceDisplayName(const std::vector<MapiServiceEntry>& services,
                                                     const std::wstring& name) {
  const std::wstring wanted = AsciiLower(name);
  for (const MapiServiceEntry& entry : services)
    if (AsciiLower(entry.name) == wanted) return entry.display_name;
  return std::nullopt;
}

CatalogueFile ReadMapiServiceCatalogue(const std::wstring& path,
                                       std::vector<MapiServiceEntry>& services) {
  services.clear();
  if (path.empty() || !PathExists(path)) return CatalogueFile::kMissing;
  std::string bytes;
  if (ReadWholeFile(path, bytes, kLargestServiceCatalogue).Failed()) return CatalogueFile::kUnreadable;
  services = ParseMapiServices(bytes);
  return CatalogueFile::kRead;
}

}  // namespace kalinor::platform
