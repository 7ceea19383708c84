// kalinor-query doctor: whether a kalinor run would work here, and if not,
// why and what to do. Reads only, like every query command.
#pragma once

#include <string>

#include "platform/mapi.h"
#include "query/query_arguments.h"
#include "query/query_output.h"
#include "runfacts/run_facts.h"

namespace kalinor {

/// Writes one line per check ("<check>\t<ok|fail|unknown>\t<finding>[\t<what
/// to do>]") and a closing "verdict" line: the account, the bitness, the
/// classic client and its MAPI DLL, the new-Outlook switch, the service in
/// the mapisvc.inf MAPI reads (only when arguments name one), the profile
/// kalinor would choose (MAPI is started only where the facts say it can
/// load), Outlook running, the data folder and where it came from, and the
/// two settings files. Returns kQueryOk when every check passed, kQueryNo
/// when one failed, else kQueryCannotTell.
int DoctorCommand(const platform::MapiEntryPoints& mapi, const QueryArguments& arguments,
                  const RunFacts& facts, QueryOutput& out);

/// Why the service administration of the profile kalinor would choose (the
/// named one, else the only or the default one) could not be opened, and what
/// to do, as the doctor's profile check says it; for a started MAPI session.
std::wstring WhyNoServiceAdmin(const platform::MapiEntryPoints& mapi, const std::wstring& named);

/// The profile a run would choose, as doctor's profile line words it
/// ("Default (the default)", "Work (named)"); "" with why set when there is
/// none to choose.
/// Whether the service is listed in the mapisvc.inf that MAPI reads here,
/// with displayName set from it; finding says where, or why not.
bool ServiceInCatalogue(const RunFacts& facts, const std::wstring& service,
                        std::wstring& displayName, std::wstring& finding);

std::wstring ChosenProfileText(const platform::MapiEntryPoints& mapi, const std::wstring& named,
                               std::wstring& why);

}  // namespace kalinor
