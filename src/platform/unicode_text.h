// Conversions between UTF-16 little-endian bytes and UTF-8 text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

/// Appends the UTF-16 units of UTF-8 `text` to `out` (a character beyond
/// U+FFFF as a surrogate pair). Strict: an overlong form, an encoded
/// surrogate, a code beyond U+10FFFF, a stray continuation byte or a sequence
/// cut short is invalid. Returns the offset in `text` of the first byte of the
/// first invalid sequence, `out` then holding the units of everything before
/// it; nothing when all of `text` is valid.
/// (Win32: MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, ...), which
/// fails on the same input; the offset is then found by converting prefixes.)
std::optional<size_t> append_utf16_of_utf8(std::span<const uint8_t> text, std::u16string& out);

/// Appends to `out` the byte of each character of UTF-8 `text` in a
/// single-byte code page, as `byte_of` gives it (0x10000 entries: the byte of
/// each BMP character, -1 where the code page has none and for every
/// surrogate). A character without a byte, every one beyond U+FFFF among
/// them, is appended to `missing` instead. Validity as append_utf16_of_utf8():
/// returns the offset of the first invalid sequence (`out` and `missing`
/// holding what came before it), nothing when all of `text` is valid.
/// (Win32: through append_utf16_of_utf8.)
std::optional<size_t> append_bytes_of_utf8(std::span<const uint8_t> text,
                                           std::span<const int16_t> byte_of,
                                           std::vector<uint8_t>& out,
                                           std::vector<char32_t>& missing);

/// UTF-16LE bytes of UTF-8 `text` in lower case (the root locale's rules).
std::vector<uint8_t> utf8_to_utf16le_lower(std::string_view text);

}  // namespace lexbuild::platform
