// Kept for the suites that include it by this name: the helper lives in scoped_env.h.
#pragma once

#include "support/scoped_env.h"
