// The stand-in's IProfAdmin and IMsgServiceAdmin over the profile store.
#pragma once

#include "platform/mapi.h"
#include "standin/mapi/store_file.h"

namespace kalinor::mapi_standin {

/// A new IProfAdmin (reference count 1) over the given files. Raises
/// std::bad_alloc when out of memory.
IProfAdmin* NewProfAdmin(const StandinFiles& files);

}  // namespace kalinor::mapi_standin
