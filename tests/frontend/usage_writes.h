// The usage text as kalinor writes it to standard output: four texts, one
// write each, for the command line's and the run sequence's tests.
#pragma once

#include <string>
#include <vector>

namespace kalinor::testing {

inline const std::vector<std::wstring>& UsageWrites() {
  static const std::vector<std::wstring> writes{
      L"\nKalinor [-u] [profile:ProfileName] [descr:\"Service Description\"] ServiceName\n\n",
      L"-u\t\t- Uninstall all services with the specified name.\n\t\t  When this is missing "
      L"perform install.\n\n",
      L"profile\t\t- Specify the profile where to install or uninstall the service.\n\t\t  "
      L"When this is not specified the single existing profile or\n\t\t  the default profile is "
      L"used.\n\n",
      L"displayname\t- Specify the display name for the service to be installed.\n\t\t  The "
      L"service name is used when not specified. Even if the display name\n\t\t  is given the "
      L"same setting from mapisvc.inf has priority.\n\n",
  };
  return writes;
}

}  // namespace kalinor::testing
