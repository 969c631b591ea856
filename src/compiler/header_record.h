// Record 0: the header record that tells the reader where everything is.
// 550 bytes, big-endian but for the CRC:
//
//   0   u32 1                        26  u32 number of entries
//   4   u16 1                        30  u16 0, u16 0
//   6   u16 1 (the word table)       34  u32 unicode setting
//   8   u16 2 (words index)          38  u32 largefont setting
//   10  u16 3 (translations index)   42  32-byte pictures database name (0 here)
//   12  u16 4 (first words record)   158 u32 HTML flag (0 here)
//   14  u16 4 + W (first trans...)   162 u16, 164 u16 high-resolution fonts (0 here)
//   16  about, 18 abbreviations,     546 u32 CRC-32 of bytes 0 to 545,
//   20  translation font,                least significant byte first
//   22  word-list font, 24 keyboard: u16 record numbers, 0 when absent
//
// The optional records follow the 4 + W + T chunk and index records in the
// order about, abbreviations, word-list font, translation font, keyboard.
#pragma once

#include <array>
#include <cstdint>

#include "compiler/compiler_state.h"
#include "compiler/format.h"
#include "driver/build_context.h"

namespace lexbuild {

/// The header record of a build: its entry count, W and T, the optional
/// records present and the unicode and largefont settings.
std::array<uint8_t, format::kHeaderRecordSize> header_record_bytes(const CompilerState& state,
                                                                   int unicode, int largefont);

/// Writes "rec_0.bin" to the work folder. Fatal when it cannot.
void write_header_record(const BuildContext& context, const CompilerState& state);

}  // namespace lexbuild
