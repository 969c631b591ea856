#include "compiler/crc32.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "compiler/byte_order.h"

namespace lexbuild {
namespace {

std::span<const uint8_t> bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(Crc32, CheckValueAndResidue) {
  EXPECT_EQ(crc32(bytes("123456789")), 0xCBF43926u);
  EXPECT_EQ(crc32(bytes("")), 0u);
  // A block followed by its CRC, least significant byte first, gives the residue.
  std::vector<uint8_t> block(546, 0x5A);
  block.resize(550);
  put_le32(block.data() + 546, crc32({block.data(), 546}));
  EXPECT_EQ(crc32(block), kCrc32Residue);
  block[10] ^= 1;
  EXPECT_NE(crc32(block), kCrc32Residue);
}

TEST(ByteOrder, BigEndianStoresAndSwaps) {
  uint8_t b[4];
  put_be32(b, 0x7C25E8BC + 1000000000u);
  EXPECT_EQ(b[0], 0xB7);
  EXPECT_EQ(b[1], 0xC0);
  EXPECT_EQ(b[2], 0xB2);
  EXPECT_EQ(b[3], 0xBC);
  EXPECT_EQ(get_be32(b), 3082859196u);
  put_le32(b, 0x11223344);
  EXPECT_EQ(b[0], 0x44);
  EXPECT_EQ(get_le32(b), 0x11223344u);
  EXPECT_EQ(swap16(0x1234), 0x3412);
  EXPECT_EQ(swap32(0x11223344), 0x44332211u);
  EXPECT_EQ(swap32(swap32(0xDEADBEEF)), 0xDEADBEEFu);
}

}  // namespace
}  // namespace lexbuild
