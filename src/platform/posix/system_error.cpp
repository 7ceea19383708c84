// System errors over errno and strerror.
#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

#include "platform/text.h"

namespace kalinor::platform {

SystemError LastSystemError() {
  return SystemError{static_cast<unsigned long>(errno != 0 ? errno : EIO)};
}

SystemError UnusablePathError() { return SystemError{EINVAL}; }

SystemError NotOpenError() { return SystemError{EBADF}; }

std::wstring DescribeSystemError(SystemError error) {
  return FromUtf8(std::strerror(static_cast<int>(error.Code))) + L", errno " +
         std::to_wstring(error.Code);
}

}  // namespace kalinor::platform
