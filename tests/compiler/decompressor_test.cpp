#include "compiler/decompressor.h"

#include <gtest/gtest.h>

#include <random>

#include "compiler/compressor.h"
#include "support/sample_chunks.h"
#include "support/test_support.h"

namespace lexbuild {
namespace {

using testing::bytes_of;
using testing::hex_bytes;

TEST(Decompressor, DecodesTheWorkedExamples) {
  const std::pair<std::string, std::string> cases[] = {
      {"02 00 01 00 00", ""},
      {"05 00 41 01 00 00", "A"},
      {"15 00 41 FF FF 01 00 00", "AAAAAAAAAA"},
      {"15 00 41 FF F8 13 01 00 00", std::string(20, 'A')},
      {"93 00 61 62 FE 01 00 00", "ababab"},
      {"57 00 61 62 63 FD FF 01 00 00", "abcabcabcabc"},
      // The marker's bytes after an empty last flag word.
      {"FF BF 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 00 00 01 00 00", "abcdefghijklmn"},
  };
  for (const auto& [stream, text] : cases) {
    SCOPED_TRACE(stream);
    const DecodeResult result = decompress_stream(hex_bytes(stream), 100);
    ASSERT_TRUE(result.ok()) << result.message();
    EXPECT_EQ(result.output, bytes_of(text));
    EXPECT_EQ(result.consumed, hex_bytes(stream).size());
  }
}

// Writes items of any kind, including ones the compressor never produces.
class StreamBuilder {
 public:
  StreamBuilder& literal(uint8_t byte) {
    encoder_.put_flag_bit(1);
    encoder_.put_data_byte(byte);
    return *this;
  }
  StreamBuilder& short_match(unsigned length_code, uint8_t d) {
    for (unsigned bit : {0u, 0u, length_code >> 1, length_code & 1}) encoder_.put_flag_bit(bit);
    encoder_.put_data_byte(d);
    return *this;
  }
  StreamBuilder& long_match(std::vector<uint8_t> bytes) {
    encoder_.put_flag_bit(0);
    encoder_.put_flag_bit(1);
    for (uint8_t b : bytes) encoder_.put_data_byte(b);
    return *this;
  }
  std::vector<uint8_t> end() {
    long_match({0x01, 0x00, 0x00});
    encoder_.flush_last_packet();
    return out_;
  }

 private:
  std::vector<uint8_t> out_;
  PacketEncoder encoder_{out_};
};

TEST(Decompressor, FollowsTheReaderOnCodesTheCompressorNeverWrites) {
  // Padding after the end marker is not read.
  DecodeResult result = decompress_stream(hex_bytes("05 00 41 01 00 00 00"), 100);
  EXPECT_EQ(result.consumed, 6u);
  // Any long code with B & 7 = 0 and C = 0 ends the stream.
  result = decompress_stream(hex_bytes("05 00 41 77 F0 00 99"), 100);
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.consumed, 6u);

  // D = 0 is a distance of 256; a long code with C = 1 copies one byte.
  StreamBuilder builder;
  std::vector<uint8_t> expected;
  for (int i = 0; i < 256; ++i) {
    builder.literal(static_cast<uint8_t>(i));
    expected.push_back(static_cast<uint8_t>(i));
  }
  builder.short_match(0, 0x00).long_match({0xFF, 0xF8, 0x01});
  expected.insert(expected.end(), {0x00, 0x01, 0x01});
  result = decompress_stream(builder.end(), 1000);
  ASSERT_TRUE(result.ok()) << result.message();
  EXPECT_EQ(result.output, expected);
}

TEST(Decompressor, RefusesDamagedStreams) {
  // A match before anything was decoded.
  DecodeResult result = decompress_stream(hex_bytes("00 00 FF 01 00 00"), 100);
  EXPECT_EQ(result.status, DecodeStatus::kMatchBeforeStart);
  EXPECT_EQ(result.error_offset, 2u);
  EXPECT_EQ(result.message(), "a match at byte 2 reaches back before the start of the data");
  // Reaching one byte too far back.
  result = decompress_stream(hex_bytes("01 00 41 FE"), 100);
  EXPECT_EQ(result.status, DecodeStatus::kMatchBeforeStart);
  EXPECT_EQ(result.output, bytes_of("A"));

  // More output than the caller allows, by a match and by a literal.
  const std::vector<uint8_t> twenty = compress_bytes(bytes_of(std::string(20, 'A')));
  EXPECT_TRUE(decompress_stream(twenty, 20).ok());
  result = decompress_stream(twenty, 19);
  EXPECT_EQ(result.status, DecodeStatus::kOutputLimit);
  EXPECT_LE(result.output.size(), 19u);
  EXPECT_EQ(decompress_stream(hex_bytes("05 00 41 01 00 00"), 0).status,
            DecodeStatus::kOutputLimit);

  // Every cut of a stream ends before its end marker, without reading past the cut.
  const std::vector<uint8_t> text = testing::translation_chunk(2, 3000);
  const std::vector<uint8_t> stream = compress_bytes(text);
  for (size_t cut = 0; cut < stream.size(); ++cut) {
    result = decompress_stream({stream.data(), cut}, text.size());
    ASSERT_EQ(result.status, DecodeStatus::kTruncated) << cut;
    ASSERT_LE(result.consumed, cut);
    ASSERT_TRUE(std::equal(result.output.begin(), result.output.end(), text.begin()));
  }
  EXPECT_EQ(decompress_stream({}, 10).message(),
            "the compressed data ends inside the item at byte 0, before its end marker");
}

TEST(Decompressor, SurvivesCorruptedStreams) {
  // Random damage must give a clean result or a clean refusal within the
  // limits (the sanitizer build checks the memory accesses).
  std::mt19937 rng(17);
  const std::vector<uint8_t> stream = compress_bytes(testing::translation_chunk(5, 4000));
  for (int trial = 0; trial < 2000; ++trial) {
    std::vector<uint8_t> damaged = stream;
    for (int k = 0; k < 1 + trial % 4; ++k) damaged[rng() % damaged.size()] ^= 1u << (rng() % 8);
    const size_t limit = 1 + rng() % 5000;
    const DecodeResult result = decompress_stream(damaged, limit);
    ASSERT_LE(result.output.size(), limit);
    ASSERT_LE(result.consumed, damaged.size());
  }
  // A hostile stream of long repeats stops at the limit instead of growing.
  StreamBuilder bomb;
  bomb.literal('A');
  for (int i = 0; i < 1000; ++i) bomb.long_match({0xFF, 0xF8, 0xFF});
  const DecodeResult result = decompress_stream(bomb.end(), 10000);
  EXPECT_EQ(result.status, DecodeStatus::kOutputLimit);
  EXPECT_EQ(result.output.size(), 1 + 39 * 255u);
  EXPECT_LE(result.output.capacity(), 10000u) << "reserved no more than the limit";
}

}  // namespace
}  // namespace lexbuild
