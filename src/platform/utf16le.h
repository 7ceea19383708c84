// UTF-16LE byte strings, the form of registry string data on every build.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalinor::platform {

/// Decodes UTF-16LE bytes; an odd last byte is ignored. Surrogate pairs
/// become one character where wchar_t is 32 bits; an unpaired surrogate is
/// kept as its unit. Never fails.
std::wstring FromUtf16Le(const std::uint8_t* bytes, std::size_t size);

/// Encodes text as UTF-16LE bytes (no terminator added); characters above
/// U+FFFF become surrogate pairs, values beyond U+10FFFF U+FFFD. Never fails.
std::vector<std::uint8_t> ToUtf16Le(std::wstring_view text);

}  // namespace kalinor::platform
