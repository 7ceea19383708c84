#include "support/scoped_env.h"

#include <utility>

#include "platform/environment.h"

namespace kalinor::testing {

ScopedEnvironmentVariable::ScopedEnvironmentVariable(std::wstring name, const std::wstring& value)
    : m_name(std::move(name)), m_old_value(platform::LookUpEnvironmentVariable(m_name)) {
  if (value.empty())
    platform::RemoveEnvironmentVariable(m_name);
  else
    platform::SetEnvironmentVariableText(m_name, value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  if (m_old_value)
    platform::SetEnvironmentVariableText(m_name, *m_old_value);
  else
    platform::RemoveEnvironmentVariable(m_name);
}

}  // namespace kalinor::testing
