// The standard CRC-32 (IEEE 802.3) that protects the header record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lexbuild {

/// CRC-32 of `data`: reflected polynomial 0xEDB88320, initial value and final
/// XOR 0xFFFFFFFF. "123456789" gives 0xCBF43926.
uint32_t crc32(std::span<const uint8_t> data);

/// crc32() over a block that ends with its own CRC stored least significant
/// byte first gives this constant exactly when the block is intact.
inline constexpr uint32_t kCrc32Residue = 0x2144DF1C;

}  // namespace lexbuild
