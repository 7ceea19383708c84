// Test helper: sets (or removes) an environment variable for one scope and
// puts the old state back afterwards.
#pragma once

#include <optional>
#include <string>

namespace kalinor::testing {

/// Sets the variable `name` to `value` while it lives; an empty value removes
/// the variable instead. The destructor restores the state found at
/// construction: the old value, or no variable at all.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(std::wstring name, const std::wstring& value);
  ~ScopedEnvironmentVariable();

  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::wstring m_name;
  std::optional<std::wstring> m_old_value;
};

}  // namespace kalinor::testing
