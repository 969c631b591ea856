// Conversions between UTF-16 little-endian bytes and UTF-8 text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lexbuild::platform {

/// UTF-8 of UTF-16LE `bytes` (an odd last byte is ignored; unpaired
/// surrogates become U+FFFD).
std::string utf16le_to_utf8(std::span<const uint8_t> bytes);

/// UTF-16LE bytes of UTF-8 `text` (invalid sequences become U+FFFD).
std::vector<uint8_t> utf8_to_utf16le(std::string_view text);

/// UTF-16LE bytes of UTF-8 `text` in lower case (the root locale's rules).
std::vector<uint8_t> utf8_to_utf16le_lower(std::string_view text);

}  // namespace lexbuild::platform
