// Windows ANSI code pages: the character that each single byte stands for,
// and the one-character case mapping that a one-byte lower-case table needs.
#pragma once

#include <array>
#include <bitset>
#include <optional>

namespace lexbuild::platform {

/// What every byte of a code page means when it is converted on its own.
struct CodePageTable {
  int code_page = 0;
  /// The UTF-16 unit of each byte; meaningful only where `defined` is set.
  std::array<char16_t, 256> units{};
  /// Bytes that the code page maps to a character by themselves. An
  /// unassigned byte, or the lead byte of a double-byte code page, is not.
  std::bitset<256> defined;
};

/// The table of Windows code page `code_page` (874, 932, 936, 949, 950, 1250
/// to 1258); nothing when no converter for it is available.
std::optional<CodePageTable> load_code_page(int code_page);

/// Gives the bytes that Windows converts to private-use characters, where the
/// converter behind load_code_page() leaves them undefined (bytes AA, D2, FF
/// of 1253 and the 11 unassigned bytes of 1255), those units, so that every
/// byte of 874 and 1250 to 1258 converts and sorts as on Windows. (Win32: the
/// system's own table already has them; nothing to do.)
void add_windows_private_use(CodePageTable& table);

/// The lower-case form of `c` when it has a one-character one, else `c`.
char32_t simple_lower_case(char32_t c);

}  // namespace lexbuild::platform
