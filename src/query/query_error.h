// The error-name and version answers of kalinor-query.
#pragma once

#include <string>

#include "query/query_output.h"

namespace kalinor {

/// Names the HRESULT written as text ("0x8004010F", "0X8004010F" or
/// decimal) with the log's own table. 0 when known; 1 when unknown; 1 and a
/// failure recorded in out when it is not a 32-bit number.
int ErrorCommand(const std::wstring& code, QueryOutput& out);

/// The version of kalinor this program ships with. Always 0.
int VersionCommand(QueryOutput& out);

}  // namespace kalinor
