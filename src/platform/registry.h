// Read-only registry access: a value's type and raw bytes, and on top of that
// the one reader of string values that every caller uses. POSIX has no
// registry: there a stand-in from src/standin/ reads a .reg text file,
// $KALINOR_REGISTRY, else $XDG_CONFIG_HOME/kalinor/registry.reg (~/.config
// when unset). The file has one view: the view asked for is ignored there.
#pragma once

#include <cstddef>
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

/// Whether a value is there, told apart from not knowing.
enum class RegistryPresence { kPresent, kAbsent, kUnknown };

/// Whether the value `name` of root\subkey (in `view`) exists: kAbsent only
/// when the system says the key or the value is not there (POSIX: no
/// registry file, or a file that parses and lacks it); kUnknown for any
/// other failure (denied access, an unreadable file).
RegistryPresence LookUpRegistryValue(RegistryRoot root, const std::wstring& subkey,
                                     const std::wstring& name,
                                     RegistryView view = RegistryView::SixtyFourBit);

/// The most string data ReadRegistryString takes: 260 UTF-16 units, the
/// terminating NUL included, as a MAX_PATH buffer holds them.
inline constexpr std::size_t kRegistryStringBytes = 520;

/// A string value as read.
struct RegistryString {
  std::wstring text;        ///< up to the first NUL; "" when the value was refused
  bool expandable = false;  ///< stored as REG_EXPAND_SZ; its variables are left unexpanded
};

/// Reads the value `name` of root\subkey (in `view`) as a string. It is
/// taken only when it is REG_SZ or REG_EXPAND_SZ, at most
/// kRegistryStringBytes long, of even size and with a NUL as its last UTF-16
/// unit; its text is then the data up to the first NUL, taken literally.
/// Anything else (no key or value, denied access, longer data, another type,
/// an odd size, no terminator) gives "", as does empty data.
RegistryString ReadRegistryString(RegistryRoot root, const std::wstring& subkey,
                                  const std::wstring& name,
                                  RegistryView view = RegistryView::SixtyFourBit);

}  // namespace kalinor::platform
