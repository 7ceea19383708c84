// The program's only entry: from the argument vector to the exit code.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/mapi.h"

namespace kalinor {

/// The two operations that clear the connector's local state on uninstall.
struct UninstallCleanup {
  std::function<void()> ClearStoreSettings;
  std::function<void()> ClearArchiveUrl;
};

/// Runs the tool: usage, or install / uninstall through the given MAPI and
/// cleanup. Returns the exit code: 0, or 1 when no service name was given,
/// MAPI could not be started, or the run failed part-way (reported on the
/// debugger channel with a line beginning "Error").
int RunKalinor(const std::vector<std::wstring>& args, const platform::MapiEntryPoints& mapi,
               const UninstallCleanup& cleanup);

}  // namespace kalinor
