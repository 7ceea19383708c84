// POSIX programs never run under Wine.
#include "support/wine.h"

namespace kalinor::testing {

bool RunningUnderWine() { return false; }

}  // namespace kalinor::testing
