// Registry values set up for one test. Each change is undone when the object
// goes, so a test starts and leaves the registry as it found it (where the
// platform lets a test have a registry of its own, it starts empty).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace kalinor::testing {

class TestRegistry {
 public:
  TestRegistry();
  ~TestRegistry();
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;

  /// Sets a string value as Windows stores one: UTF-16LE with its NUL terminator, of the given
  /// type (REG_SZ by default). False when it could not be written.
  bool SetString(platform::RegistryRoot root, const std::wstring& subkey, const std::wstring& name,
                 const std::wstring& text, std::uint32_t type = platform::kRegSz);

  /// Sets a value of any type to exactly these bytes. False when it could not be written.
  bool SetRaw(platform::RegistryRoot root, const std::wstring& subkey, const std::wstring& name,
              std::uint32_t type, const std::vector<std::uint8_t>& bytes);

  /// Removes a value, so that it reads as missing. False when it could not be removed.
  bool Remove(platform::RegistryRoot root, const std::wstring& subkey, const std::wstring& name);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kalinor::testing
