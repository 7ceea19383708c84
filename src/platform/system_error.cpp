// The portable parts of system errors: a number's kind and its text, over the
// system's table and words of system_error_os.h.
#include "platform/system_error.h"

#include "platform/system_error_os.h"

namespace kalinor::platform {

ErrorKind SystemError::Kind() const {
  if (!Failed()) return ErrorKind::kNone;
  for (const os::ErrorKindEntry& entry : os::ErrorKindTable())
    if (entry.Code == Code && entry.Kind != ErrorKind::kOther) return entry.Kind;
  return ErrorKind::kOther;
}

SystemError ErrorOfKind(ErrorKind kind) {
  if (kind == ErrorKind::kNone) return {};
  for (const os::ErrorKindEntry& entry : os::ErrorKindTable())
    if (entry.Kind == kind) return {entry.Code};
  return {};  // every kind has an entry; not reached
}

std::wstring DescribeSystemError(SystemError error) {
  std::wstring text = error.Step != nullptr ? std::wstring(error.Step) + L": " : std::wstring();
  return text + os::SystemMessage(error.Code) + L", " + os::SystemNumberText(error.Code);
}

}  // namespace kalinor::platform
