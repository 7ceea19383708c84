#include "com_start.h"

namespace kalinor::bench {

bool StartCom() { return true; }  // the POSIX DOM needs no COM

}  // namespace kalinor::bench
