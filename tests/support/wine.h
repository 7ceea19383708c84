// Where the Windows build's tests run under Wine, some system components
// behave unlike Windows's own (Wine's msxml3 writes every document as UTF-8
// and refuses documents nested deeper than 256 elements). Tests of such
// behaviour skip there, saying why.
#pragma once

namespace kalinor::testing {

/// True when this process is a Windows program running under Wine; false
/// on Windows itself and on POSIX.
bool RunningUnderWine();

}  // namespace kalinor::testing
