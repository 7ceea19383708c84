// Read-only registry access. The reader hands back the value's type and raw
// bytes; the rules for accepting a string live with the caller. POSIX has no
// registry: there a stand-in from src/standin/ reads a .reg text file,
// $KALINOR_REGISTRY, else $XDG_CONFIG_HOME/kalinor/registry.reg (~/.config
// when unset). The file has one view: the view asked for is ignored there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalinor::platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

/// Registry value types, numbered as Windows numbers them.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;

/// Which of a 64-bit Windows's two registry views a read sees. The product
/// and policy keys are read in the 64-bit view whatever the build; what a
/// library loaded into this process would read (the mail client's MAPI DLL)
/// is in the process's own view: the 32-bit one for a 32-bit build.
enum class RegistryView { SixtyFourBit, Process };

/// A value's type and its bytes, exactly as stored.
struct RegistryValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

/// Opens root\subkey for reading (KEY_READ, in `view`) and queries the value
/// `name` into a buffer of max_bytes. Returns false when the key cannot be
/// opened, the value is missing or unreadable, or its data exceeds
/// max_bytes; the key is closed on every path. String data is UTF-16LE.
bool ReadRegistryValue(RegistryRoot root, const std::wstring& subkey, const std::wstring& name,
                       std::size_t max_bytes, RegistryValue& value,
                       RegistryView view = RegistryView::SixtyFourBit);

}  // namespace kalinor::platform
