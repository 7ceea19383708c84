// Read-only registry access. The reader hands back the value's type and raw
// bytes; the rules for accepting a string live with the caller. POSIX has no
// registry: there a stand-in from src/standin/ reads a .reg text file,
// $KALINOR_REGISTRY, else $XDG_CONFIG_HOME/kalinor/registry.reg (~/.config
// when unset).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalinor::platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

/// Registry value types, numbered as Windows numbers them.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;

/// A value's type and its bytes, exactly as stored.
struct RegistryValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

/// Opens root\subkey for reading (KEY_READ, the 64-bit view) and queries the
/// value `name` into a buffer of max_bytes. Returns false when the key cannot
/// be opened, the value is missing or unreadable, or its data exceeds
/// max_bytes; the key is closed on every path. String data is UTF-16LE.
bool ReadRegistryValue(RegistryRoot root, const std::wstring& subkey, const std::wstring& name,
                       std::size_t max_bytes, RegistryValue& value);

}  // namespace kalinor::platform
