// The block compressor written the plain way: every earlier position of the
// window is tried for every position coded. It is slow and obviously right,
// and kept as the oracle that the program's fast search must agree with byte
// for byte (tests, benchmarks and fuzz targets use it).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lexbuild::testing {

/// The complete compressed stream for `input`: blocks of 17,664 bytes, the
/// end marker and the last packet.
std::vector<uint8_t> reference_compress(std::span<const uint8_t> input);

}  // namespace lexbuild::testing
