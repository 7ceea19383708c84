// The operating-system facts behind the portable system errors of
// system_error.cpp: which of the system's numbers mean what, and how the
// system words one. For the platform layer only.
#pragma once

#include <span>
#include <string>

#include "platform/system_error.h"

namespace kalinor::platform::os {

/// One of the system's error numbers and its portable meaning.
struct ErrorKindEntry {
  unsigned long Code;
  ErrorKind Kind;
};

/// The system's numbers with a kind other than kOther; the first entry of
/// each kind is the number ErrorOfKind gives for it (kOther's entry too).
std::span<const ErrorKindEntry> ErrorKindTable();

/// The system's own message for code, without a closing period or line break.
std::wstring SystemMessage(unsigned long code);

/// The number as shown after the message: "errno 13", "0X80070005".
std::wstring SystemNumberText(unsigned long code);

}  // namespace kalinor::platform::os
