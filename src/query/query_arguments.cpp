#include "query/query_arguments.h"

#include <string_view>

#include "platform/text.h"

namespace kalinor {
namespace {

constexpr std::wstring_view kProfilePrefix = L"profile:";
constexpr std::wstring_view kDisplayNamePrefix = L"displayname:";

// "Begins with": the prefix's first occurrence stands at the start.
bool BeginsWith(const std::wstring& lowered, std::wstring_view prefix) {
  return lowered.find(prefix) == 0;
}

bool IsHelp(const std::wstring& lowered) {
  return lowered == L"--help" || lowered == L"-h" || lowered == L"/h" || lowered == L"-?" ||
         lowered == L"/?";
}

bool LooksLikeOption(const std::wstring& arg) {
  return !arg.empty() && (arg[0] == L'-' || arg[0] == L'/');
}

// "-2147221233": the signed form of an error code.
bool IsNegativeNumber(const std::wstring& arg) {
  return arg.size() > 1 && arg[0] == L'-' && arg[1] >= L'0' && arg[1] <= L'9';
}

void Operand(const std::wstring& arg, QueryArguments& parsed) {
  if (parsed.OperandGiven) {
    parsed.Extra.push_back(arg);
    return;
  }
  parsed.Operand = arg;
  parsed.OperandGiven = true;
}

void ApplyAfterCommand(const std::wstring& arg, const std::wstring& lowered,
                       QueryArguments& parsed) {
  if (BeginsWith(lowered, kDisplayNamePrefix)) {
    parsed.DisplayName = arg.substr(kDisplayNamePrefix.size());
    return;
  }
  if (lowered == L"-u" || lowered == L"/u") return;
  if (BeginsWith(lowered, kProfilePrefix)) {
    parsed.ProfileName = arg.substr(kProfilePrefix.size());
    parsed.ProfileGiven = true;
  } else if (LooksLikeOption(arg) && !(parsed.Command == L"error" && IsNegativeNumber(arg))) {
    if (parsed.Unknown.empty()) parsed.Unknown = arg;
  } else {
    Operand(arg, parsed);
  }
}

}  // namespace

QueryArguments ParseQueryArguments(const std::vector<std::wstring>& args) {
  QueryArguments parsed;
  for (const std::wstring& arg : args) {
    const std::wstring lowered = platform::AsciiLower(arg);
    if (lowered == L"--json") {
      parsed.Json = true;
    } else if (lowered == L"--detect") {
      parsed.Detect = true;
    } else if (lowered == L"--install") {
      parsed.ForInstall = true;
    } else if (IsHelp(lowered)) {
      parsed.Help = true;
    } else if (parsed.Command.empty() && lowered == L"--version") {
      parsed.Command = lowered;
    } else if (!parsed.Command.empty()) {
      ApplyAfterCommand(arg, lowered, parsed);
    } else if (LooksLikeOption(arg)) {
      if (parsed.Unknown.empty()) parsed.Unknown = arg;
    } else if (!arg.empty()) {  // an empty argument is no command
      parsed.Command = lowered;
    }
  }
  return parsed;
}

}  // namespace kalinor
