// System errors over errno and strerror.
#include "platform/system_error.h"

#include <cerrno>
#include <cstring>
#include <iterator>

#include "platform/system_error_os.h"
#include "platform/text.h"

namespace kalinor::platform {

SystemError LastSystemError() {
  return SystemError{static_cast<unsigned long>(errno != 0 ? errno : EIO)};
}

SystemError UnusablePathError() { return SystemError{EINVAL}; }

SystemError SeveralNamesError() { return SystemError{EMLINK}; }

SystemError NotOpenError() { return SystemError{EBADF}; }

namespace os {

std::span<const ErrorKindEntry> ErrorKindTable() {
  static constexpr ErrorKindEntry kTable[] = {
      {ENOENT, ErrorKind::kNotFound}, {EEXIST, ErrorKind::kExists}, {ENOTEMPTY, ErrorKind::kExists},
      {EISDIR, ErrorKind::kIsFolder}, {ELOOP, ErrorKind::kIsLink},  {EACCES, ErrorKind::kDenied},
      {EPERM, ErrorKind::kDenied},    {EROFS, ErrorKind::kDenied},  {EBUSY, ErrorKind::kBusy},
      {ETXTBSY, ErrorKind::kBusy},    {EAGAIN, ErrorKind::kBusy},   {EFBIG, ErrorKind::kTooLarge},
      {EINVAL, ErrorKind::kOther},
  };
  return kTable;
}

std::wstring SystemMessage(unsigned long code) {
  return FromUtf8(std::strerror(static_cast<int>(code)));
}

std::wstring SystemNumberText(unsigned long code) { return L"errno " + std::to_wstring(code); }

}  // namespace os

}  // namespace kalinor::platform
