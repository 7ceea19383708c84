#include "standin/mapi/service_catalogue.h"

#include "platform/files.h"
#include "platform/mapi.h"
#include "platform/text.h"

namespace kalinor::mapi_standin {
namespace {

// Windows' own mapisvc.inf, with every provider of a full Office install,
// stays below 100 KiB; a file past 4 MiB is no service catalogue.
constexpr std::size_t kLargestServiceCatalogue = 4 * 1024 * 1024;

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::string_view Unquoted(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    return text.substr(1, text.size() - 2);
  return text;
}

}  // namespace

ServiceCatalogue ParseServiceCatalogue(std::string_view text) {
  ServiceCatalogue catalogue;
  catalogue.present = true;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  bool in_services = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      in_services = platform::EqualsIgnoringAsciiCase(line, "[Services]");
      continue;
    }
    const size_t equals = line.find('=');
    if (!in_services || equals == std::string_view::npos) continue;
    const std::string_view name = Trimmed(line.substr(0, equals));
    if (name.empty()) continue;
    catalogue.services.emplace_back(platform::FromUtf8(name),
                                    platform::FromUtf8(Unquoted(Trimmed(line.substr(equals + 1)))));
  }
  return catalogue;
}

HRESULT ReadServiceCatalogue(const std::wstring& path, ServiceCatalogue& catalogue) {
  catalogue = ServiceCatalogue();
  if (path.empty() || !platform::PathExists(path)) return S_OK;
  std::string text;
  if (platform::ReadWholeFile(path, text, kLargestServiceCatalogue).Failed())
    return MAPI_E_CALL_FAILED;
  catalogue = ParseServiceCatalogue(text);
  return S_OK;
}

std::optional<std::wstring> CatalogueDisplayName(const ServiceCatalogue& catalogue,
                                                 const std::wstring& name) {
  const std::wstring wanted = platform::AsciiLower(name);
  for (const auto& [listed, display_name] : catalogue.services)
    if (platform::AsciiLower(listed) == wanted) return display_name;
  return std::nullopt;
}

}  // namespace kalinor::mapi_standin
