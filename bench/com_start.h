// What the tool has before any XML work: on Windows, COM started on the
// thread (MAPI's start does it in the tool); nothing elsewhere.
#pragma once

namespace kalinor::bench {

/// Starts COM on this thread where the platform has it. False on failure.
bool StartCom();

}  // namespace kalinor::bench
