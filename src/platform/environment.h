// The process environment: reading and (for tests and tools that steer child
// code) setting variables by name.
#pragma once

#include <optional>
#include <string>

namespace kalinor::platform {

/// The value of the environment variable `name`; "" when it is unset (an
/// empty value and an unset variable are not told apart).
std::wstring GetEnvironmentVariableText(const std::wstring& name);

/// The value of the environment variable `name`, empty when it is set to
/// nothing; nullopt when it is unset.
std::optional<std::wstring> LookUpEnvironmentVariable(const std::wstring& name);

/// Sets the environment variable `name` to `value` for this process and the
/// processes it starts. False when it could not be set.
bool SetEnvironmentVariableText(const std::wstring& name, const std::wstring& value);

/// An XDG base folder: the value of `variable` (as XDG_CONFIG_HOME) when it
/// is an absolute path, else $HOME (when absolute) + separator + below_home
/// (as ".config"). A relative or empty value is ignored, as the XDG rule
/// says. "" when neither gives an absolute path.
std::wstring XdgBaseFolder(const std::wstring& variable, const std::wstring& below_home);

/// Removes the environment variable `name`. False when it could not be
/// removed; removing an unset variable succeeds.
bool RemoveEnvironmentVariable(const std::wstring& name);

}  // namespace kalinor::platform
