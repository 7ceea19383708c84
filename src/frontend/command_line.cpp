#include "frontend/command_line.h"

#include <string_view>

#include "kalinor_version.h"
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

bool IsSwitch(const std::wstring& arg) {
  return !arg.empty() && (arg[0] == L'-' || arg[0] == L'/');
}

bool IsUninstallSwitch(const std::wstring& lowered) { return lowered == L"-u" || lowered == L"/u"; }

// The package's per-user step; see per_user_step.h.
bool IsPerUserSwitch(const std::wstring& lowered) {
  return lowered == L"--per-user" || lowered == L"--at-logon";
}

bool IsHelpSwitch(const std::wstring& lowered) {
  return lowered == L"-?" || lowered == L"/?" || lowered == L"-h" || lowered == L"/h" ||
         lowered == L"--help";
}

}  // namespace

CommandLineCheck CheckCommandLine(const std::vector<std::wstring>& args) {
  if (args.empty()) return {CommandLineRequest::kUsage, {}};
  CommandLineCheck check;
  for (const std::wstring& arg : args) {
    const std::wstring lowered = platform::AsciiLower(arg);
    if (IsHelpSwitch(lowered)) return {CommandLineRequest::kUsage, {}};
    if (!IsSwitch(arg) || IsUninstallSwitch(lowered) || IsPerUserSwitch(lowered)) continue;
    if (lowered == L"--version") {
      if (check.Request == CommandLineRequest::kRun) check.Request = CommandLineRequest::kVersion;
    } else if (check.Request != CommandLineRequest::kUnknownSwitch) {
      check = {CommandLineRequest::kUnknownSwitch, arg};
    }
  }
  return check;
}

RunSettings ParseArguments(const std::vector<std::wstring>& args) {
  RunSettings settings;
  bool plainSeen = false;
  for (const std::wstring& arg : args) {
    const std::wstring lowered = platform::AsciiLower(arg);
    if (IsUninstallSwitch(lowered)) {
      settings.InstallMode = false;
    } else if (IsPerUserSwitch(lowered)) {
      settings.PerUser = true;
      settings.AtLogon = settings.AtLogon || lowered == L"--at-logon";
    } else if (BeginsWith(lowered, kProfilePrefix)) {
      settings.ProfileName = arg.substr(kProfilePrefix.size());
    } else if (BeginsWith(lowered, kDisplayNamePrefix)) {
      settings.DisplayName = arg.substr(kDisplayNamePrefix.size());
    } else {
      if (plainSeen) settings.PassedOver.push_back(settings.ServiceName);
      plainSeen = true;
      settings.ServiceName = arg;
    }
  }
  return settings;
}

void PrintUsage() {
  for (const wchar_t* text : kUsageTexts) platform::WriteStandardOutput(text);
}

void PrintUnknownSwitch(const std::wstring& argument) {
  PrintUsage();
  platform::WriteStandardOutput(
      L"The argument \"" + platform::EscapeLineText(argument) +
      L"\" is not understood: the only switch is -u (or /u). Nothing was changed.\n");
}

void PrintVersion() {
  platform::WriteStandardOutput(L"kalinor " + platform::FromUtf8(KALINOR_VERSION_TEXT) + L"\n");
}

}  // namespace kalinor
