#include "frontend/command_line.h"

#include <string_view>

#include "platform/console.h"
#include "platform/text.h"

namespace kalinor {
namespace {

constexpr std::wstring_view kProfilePrefix = L"profile:";
constexpr std::wstring_view kDisplayNamePrefix = L"displayname:";

const wchar_t* const kUsageTexts[] = {
    L"\nKalinor [-u] [profile:ProfileName] [descr:\"Service Description\"] ServiceName\n\n",
    L"-u\t\t- Uninstall all services with the specified name.\n"
    L"\t\t  When this is missing perform install.\n\n",
    L"profile\t\t- Specify the profile where to install or uninstall the service.\n"
    L"\t\t  When this is not specified the single existing profile or\n"
    L"\t\t  the default profile is used.\n\n",
    L"displayname\t- Specify the display name for the service to be installed.\n"
    L"\t\t  The service name is used when not specified. Even if the display name\n"
    L"\t\t  is given the same setting from mapisvc.inf has priority.\n\n",
};

// "Begins with": the prefix's first occurrence stands at the start.
bool BeginsWith(const std::wstring& lowered, std::wstring_view prefix) {
  return lowered.find(prefix) == 0;
}

}  // namespace

bool IsUsageRequest(const std::vector<std::wstring>& args) {
  if (args.empty()) return true;
  return args.size() == 1 && (args[0] == L"/?" || args[0] == L"-?");
}

RunSettings ParseArguments(const std::vector<std::wstring>& args) {
  RunSettings settings;
  for (const std::wstring& arg : args) {
    const std::wstring lowered = platform::AsciiLower(arg);
    if (lowered == L"-u" || lowered == L"/u") {
      settings.InstallMode = false;
    } else if (BeginsWith(lowered, kProfilePrefix)) {
      settings.ProfileName = arg.substr(kProfilePrefix.size());
    } else if (BeginsWith(lowered, kDisplayNamePrefix)) {
      settings.DisplayName = arg.substr(kDisplayNamePrefix.size());
    } else {
      settings.ServiceName = arg;
    }
  }
  return settings;
}

void PrintUsage() {
  for (const wchar_t* text : kUsageTexts) platform::WriteStandardOutput(text);
}

}  // namespace kalinor
