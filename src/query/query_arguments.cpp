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

void ApplyAfterCommand(const std::wstring& arg, QueryArguments& parsed) {
  const std::wstring lowered = platform::AsciiLower(arg);
  if (lowered == L"-u" || lowered == L"/u" || BeginsWith(lowered, kDisplayNamePrefix)) return;
  if (BeginsWith(lowered, kProfilePrefix))
    parsed.ProfileName = arg.substr(kProfilePrefix.size());
  else
    parsed.Operand = arg;
}

}  // namespace

QueryArguments ParseQueryArguments(const std::vector<std::wstring>& args) {
  QueryArguments parsed;
  for (const std::wstring& arg : args) {
    if (arg == L"--json") {
      parsed.Json = true;
    } else if (parsed.Command.empty()) {  // an empty argument is no command
      parsed.Command = arg;
    } else {
      ApplyAfterCommand(arg, parsed);
    }
  }
  return parsed;
}

}  // namespace kalinor
