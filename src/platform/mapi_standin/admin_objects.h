// The stand-in's IProfAdmin and IMsgServiceAdmin over the profile store.
#pragma once

#include "platform/mapi.h"
#include "platform/mapi_standin/store_file.h"

namespace kalinor::platform::mapi_standin {

/// A new IProfAdmin (reference count 1) over the given files. Raises
/// std::bad_alloc when out of memory.
IProfAdmin* NewProfAdmin(const StandinFiles& files);

}  // namespace kalinor::platform::mapi_standin
