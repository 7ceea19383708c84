// Store ids: the pair form "%I64X-%I64X" and the byte form (each of the 16
// identifier bytes as "%x"), and the conversion from the one to the other.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kalinor {

/// The 16 identifier bytes of a store.
using StoreIdBytes = std::array<std::uint8_t, 16>;

/// Reads an id as "%I64X-%I64X" into its identifier bytes: bytes 0 to 7 are
/// the second number, bytes 8 to 15 the first, both little-endian. A number
/// that cannot be read stays 0; reading stops at the first character that
/// does not fit. Never fails.
StoreIdBytes StoreIdBytesFromPairForm(const std::wstring& id);

/// The byte form: bytes 0 to 15, each as "%x" (no padding), joined.
std::wstring FormatStoreIdBytes(const StoreIdBytes& bytes);

}  // namespace kalinor
