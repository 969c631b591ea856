#include "compiler/compressor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <thread>

#include "compiler/decompressor.h"
#include "support/reference_compressor.h"
#include "support/sample_chunks.h"
#include "support/test_support.h"

namespace lexbuild {
namespace {

using testing::bytes_of;
using testing::hex_bytes;
using testing::reference_compress;
using testing::to_hex;

std::vector<uint8_t> compress(const std::vector<uint8_t>& input) { return compress_bytes(input); }

// One coded item of a stream, read back with the reader's rules.
struct Item {
  size_t at = 0;        // output position where the item starts
  size_t length = 1;    // 1 for a literal
  size_t distance = 0;  // 0 for a literal
  std::vector<uint8_t> data;
};

// Lists the items of a well-formed stream up to its end marker.
std::vector<Item> items_of(const std::vector<uint8_t>& stream) {
  std::vector<Item> items;
  size_t pos = 0;
  size_t out = 0;
  unsigned flags = 0;
  int left = 0;
  auto word = [&] {
    flags = stream.at(pos) | (stream.at(pos + 1) << 8);
    pos += 2;
    left = 16;
  };
  auto bit = [&] {
    const unsigned b = flags & 1;
    flags >>= 1;
    if (--left == 0) word();
    return b;
  };
  auto byte = [&](Item& item) { return item.data.emplace_back(stream.at(pos++)); };
  word();
  for (;;) {
    Item item;
    item.at = out;
    if (bit() == 1) {
      byte(item);
    } else if (bit() == 1) {
      const unsigned w = byte(item) + 256u * (byte(item) >> 3);
      item.distance = 8192 - w;
      item.length = (item.data[1] & 7) != 0 ? (item.data[1] & 7u) + 2 : byte(item);
      if (item.length == 0) return items;
    } else {
      const unsigned l1 = bit();
      item.length = 2 + 2 * l1 + bit();
      item.distance = 256 - byte(item);
    }
    out += item.length;
    items.push_back(item);
  }
}

TEST(Compressor, WorkedExamples) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "02 00 01 00 00"},
      {"A", "05 00 41 01 00 00"},
      {"AAAAAAAAAA", "15 00 41 FF FF 01 00 00"},
      {std::string(20, 'A'), "15 00 41 FF F8 13 01 00 00"},
      {"ababab", "93 00 61 62 FE 01 00 00"},
      {"abcabcabcabc", "57 00 61 62 63 FD FF 01 00 00"},
  };
  for (const auto& [input, expected] : cases) {
    SCOPED_TRACE(input);
    EXPECT_EQ(to_hex(compress(bytes_of(input))), to_hex(hex_bytes(expected)));
    EXPECT_EQ(to_hex(reference_compress(bytes_of(input))), to_hex(hex_bytes(expected)));
  }
}

TEST(Compressor, SixteenthFlagBitSendsItsDataToTheNextPacket) {
  // 00 01 ... 1F: the first packet holds 15 literals; the 16th literal's byte
  // opens the second packet.
  std::vector<uint8_t> run(32);
  for (size_t i = 0; i < run.size(); ++i) run[i] = static_cast<uint8_t>(i);
  const std::vector<uint8_t> out = compress(run);
  std::vector<uint8_t> start =
      hex_bytes("FF FF 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E FF FF");
  for (uint8_t b = 0x0F; b <= 0x1D; ++b) start.push_back(b);
  ASSERT_GE(out.size(), start.size());
  EXPECT_EQ(to_hex({out.begin(), out.begin() + start.size()}), to_hex(start));

  // 14 literals and the end marker fill a packet exactly: the marker's bytes
  // follow an empty last flag word.
  EXPECT_EQ(to_hex(compress(bytes_of("abcdefghijklmn"))),
            to_hex(hex_bytes("FF BF 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 00 00 01 00 00")));
}

TEST(Compressor, MatchAtTheFarEndOfTheWindow) {
  // "XYZW" again 8192 bytes later: w = 0, so A and B carry only the length.
  std::vector<uint8_t> input = bytes_of("XYZW");
  input.resize(8192, 'a');
  for (char c : std::string("XYZW")) input.push_back(static_cast<uint8_t>(c));
  const std::vector<Item> items = items_of(compress(input));
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items.back().at, 8192u);
  EXPECT_EQ(items.back().distance, 8192u);
  EXPECT_EQ(to_hex(items.back().data), "00 02");
  // One byte farther and the copy is out of reach: four literals.
  input.insert(input.begin() + 4, 'a');
  const std::vector<Item> farther = items_of(compress(input));
  ASSERT_GE(farther.size(), 4u);
  for (size_t i = farther.size() - 4; i < farther.size(); ++i) EXPECT_EQ(farther[i].distance, 0u);
}

TEST(Compressor, FarthestOfEquallyLongMatchesDecides) {
  // "qz" 300 and 10 bytes back, nothing longer: the farther one is chosen,
  // and a 2-byte match 300 back is not worth a code, so 'q' is a literal.
  std::vector<uint8_t> input = testing::random_bytes(7, 320);
  const size_t d = 310;
  for (size_t at : {d - 300, d - 10, d}) {
    input[at] = 'q';
    input[at + 1] = 'z';
  }
  input.resize(d + 2);
  ASSERT_EQ(std::search_n(input.begin(), input.end(), 1, 'q') - input.begin(), 10)
      << "no other 'q' before the far copy";
  auto item_at = [](const std::vector<Item>& items, size_t at) {
    for (const Item& item : items) {
      if (item.at == at) return item;
    }
    Item none;
    none.length = 0;
    return none;
  };
  const Item tie = item_at(items_of(compress(input)), d);
  EXPECT_EQ(tie.distance, 0u) << "a literal";
  EXPECT_EQ(tie.length, 1u);
  EXPECT_EQ(compress(input), reference_compress(input));

  // Without the far copy the near one is coded as a short match.
  input[d - 300] = 'x';
  const Item near = item_at(items_of(compress(input)), d);
  EXPECT_EQ(near.distance, 10u);
  EXPECT_EQ(near.length, 2u);
  EXPECT_EQ(compress(input), reference_compress(input));
}

TEST(Compressor, EveryBlockStartsOverWithALiteral) {
  const std::vector<uint8_t> input(20000, 'x');
  const std::vector<uint8_t> out = compress(input);
  bool restarted = false;
  for (const Item& item : items_of(out)) {
    // No match reaches from the second block back into the first.
    EXPECT_FALSE(item.at < 17664 && item.at + item.length > 17664) << item.at;
    if (item.at == 17664) restarted = item.distance == 0;
  }
  EXPECT_TRUE(restarted);
  const DecodeResult decoded = decompress_stream(out, input.size());
  ASSERT_TRUE(decoded.ok()) << decoded.message();
  EXPECT_EQ(decoded.output, input);
  EXPECT_EQ(decoded.consumed, out.size());

  // A block is never silently cut: a longer one is a caller's mistake.
  std::vector<uint8_t> packets;
  PacketEncoder encoder(packets);
  EXPECT_THROW(Compressor().compress_block(input, encoder), std::invalid_argument);
}

// The fast search must give the reference's bytes exactly, and decode back.
void expect_agreement(const std::vector<uint8_t>& input, const std::string& what) {
  SCOPED_TRACE(what + ", " + std::to_string(input.size()) + " bytes");
  const std::vector<uint8_t> out = compress(input);
  ASSERT_EQ(out, reference_compress(input));
  const DecodeResult decoded = decompress_stream(out, input.size());
  ASSERT_TRUE(decoded.ok()) << decoded.message();
  EXPECT_EQ(decoded.output, input);
  EXPECT_EQ(decoded.consumed, out.size());
}

TEST(Compressor, AgreesWithTheExhaustiveSearch) {
  for (size_t size : {0, 1, 2, 3, 4, 5, 17, 255, 256, 257, 1000, 8191}) {
    expect_agreement(testing::translation_chunk(size, size), "translations");
    expect_agreement(testing::random_bytes(static_cast<uint32_t>(size), size), "random");
  }
  // UTF-16 text, searched by its own chains: every other byte 0 (or, in a
  // script beyond Latin, the same few high bytes), so that 4-byte keys hold
  // two characters and matches of odd lengths start at odd positions.
  const auto utf16 = [](uint32_t seed, size_t characters, auto high_byte) {
    std::vector<uint8_t> wide;
    for (const uint8_t byte : testing::translation_chunk(seed, characters))
      wide.insert(wide.end(), {byte, static_cast<uint8_t>(high_byte(byte))});
    return wide;
  };
  // As the stores hold UTF-16 text: records that open with a length byte, so
  // that characters start at odd and at even positions, some with a zero
  // after it, so that two zeros meet; high bytes mostly 0 but, unlike above,
  // not told by the low byte; now and then a character whose low byte is 0.
  const auto records = [](uint32_t seed, size_t size) {
    std::mt19937 rng(seed);
    const std::vector<uint8_t> text = testing::translation_chunk(seed, size);
    std::vector<uint8_t> wide;
    for (size_t i = 0; wide.size() < size; ++i) {
      if (rng() % 12 == 0) {
        wide.push_back(static_cast<uint8_t>(rng() % 40 + 1));
        if (rng() % 2 == 0) wide.push_back(0);
      }
      const uint8_t low = rng() % 50 == 0 ? 0 : text[i % text.size()];
      const uint8_t high = rng() % 8 == 0 ? static_cast<uint8_t>(rng() % 3) : 0;
      wide.insert(wide.end(), {low, high});
    }
    wide.resize(size);
    return wide;
  };
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    expect_agreement(records(seed, 8191), "UTF-16 records");
    expect_agreement(utf16(seed, 4095, [](uint8_t) { return 0; }), "UTF-16 translations");
    expect_agreement(utf16(seed, 4095, [](uint8_t b) { return b < 'a' ? 0 : 4; }),
                     "UTF-16, Latin and Cyrillic");
    expect_agreement(utf16(seed, 4095, [](uint8_t b) { return b % 3 == 0 ? 1 : b & 4; }),
                     "UTF-16, high bytes that differ where the low ones agree");
    expect_agreement(testing::word_chunk(seed, 8191), "words");
    expect_agreement(testing::translation_chunk(seed, 8191), "translations");
    expect_agreement(testing::dictionary_word_chunk(seed, 8191), "dictionary words");
    expect_agreement(testing::article_chunk(seed, 8191), "articles");
  }
  for (const char* pattern :
       {"a", "ab", "abc", "abcd", "abcab", "aab", "the cat ", "twenty-byte pattern "}) {
    for (size_t size : {7, 300, 8191, 8193}) {
      expect_agreement(testing::periodic_bytes(pattern, size), std::string("periodic ") + pattern);
    }
  }
  // Blocks longer than the window, and one with zeros in exactly every fourth byte.
  expect_agreement(utf16(7, 20000, [](uint8_t) { return 0; }), "UTF-16, two blocks");
  expect_agreement(records(7, 40000), "UTF-16 records, three blocks");
  std::vector<uint8_t> quarter = testing::translation_chunk(8, 8000);
  for (size_t i = 3; i < quarter.size(); i += 4) quarter[i] = 0;
  expect_agreement(quarter, "a zero every four bytes");
  // Few distinct bytes make long chains of candidates that mostly fail.
  std::vector<uint8_t> binary = testing::random_bytes(11, 12000);
  for (uint8_t& b : binary) b = (b & 0x21) | 'A';
  expect_agreement(binary, "two-letter noise");
}

// Inputs built to catch a search that takes a shortcut the plain one does
// not: a wrong tie among equally long matches, an edge of the window or of
// the shortest codable match, a hash collision passed as a match, a run or
// pattern that starts beyond the probe.
TEST(Compressor, AgreesOnAdversarialInputs) {
  using Bytes = std::vector<uint8_t>;
  const auto cat = [](std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  };
  const auto run = [](size_t size, char c) { return Bytes(size, static_cast<uint8_t>(c)); };
  const auto text = testing::bytes_of;
  const auto noise = [](uint32_t seed, size_t size) { return testing::random_bytes(seed, size); };
  // `tail` again exactly `distance` after its first copy, with noise between.
  const auto again_at = [&](const Bytes& tail, size_t distance, uint32_t seed) {
    return cat({tail, noise(seed, distance - tail.size()), tail});
  };
  // The same in text of 16-bit characters, from a zero before a character:
  // the search goes through the character, whose candidates must still
  // follow a zero inside the window.
  const auto wide_again_at = [](size_t distance, uint32_t seed) {
    const Bytes tail = {0, 'E', 0, 'D', 0, 'G', 0, 'E', 0};
    std::mt19937 rng(seed);
    Bytes all = tail;
    while (all.size() < distance)
      all.insert(all.end(), {static_cast<uint8_t>('a' + rng() % 26), 0});
    all.resize(distance);
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
  };
  // Every 3-byte string over three letters, so that many keys share a hash bucket.
  Bytes all_triples;
  for (const char* triple = "xyz"; const char a : std::string(triple)) {
    for (const char b : std::string(triple)) {
      for (const char c : std::string(triple)) {
        const std::string word = {a, b, c, ' '};
        all_triples.insert(all_triples.end(), word.begin(), word.end());
      }
    }
  }
  // The same eight bytes followed by ever longer shared tails: a long walk
  // where each candidate beats the last by one byte.
  Bytes growing;
  for (size_t k = 0; k < 120; ++k) {
    growing.insert(growing.end(), {'p', 'h', 'r', 'a', 's', 'e', 'o', 'f'});
    for (size_t i = 0; i < k % 40; ++i) growing.push_back(static_cast<uint8_t>('a' + i % 26));
    growing.push_back('#');
  }

  const std::pair<const char*, Bytes> cases[] = {
      {"run after noise beyond the probe", cat({noise(1, 100), run(9000, 'a')})},
      {"pattern after noise", cat({noise(2, 500), testing::periodic_bytes("ab", 6000)})},
      {"period 3 with a flaw every 97",
       [&] {
         Bytes b = testing::periodic_bytes("abc", 8191);
         for (size_t i = 50; i < b.size(); i += 97) b[i] = 'x';
         return b;
       }()},
      {"all one byte, a block and one", run(17665, 'q')},
      {"repeat at the window's edge", again_at(text("EDGEWISE"), 8192, 3)},
      {"repeat one beyond the edge", again_at(text("EDGEWISE"), 8193, 4)},
      {"three bytes at the edge", again_at(text("XYZ"), 8192, 5)},
      {"UTF-16 repeat at the window's edge", wide_again_at(8192, 13)},
      {"UTF-16 repeat one beyond the edge", wide_again_at(8193, 14)},
      {"two bytes 255 back", again_at(text("QZ"), 255, 6)},
      {"two bytes 256 back", again_at(text("QZ"), 256, 7)},
      {"far 2-byte tie hides a near one",
       cat({text("QZ"), noise(8, 298), text("QZ"), noise(9, 8), text("QZ")})},
      {"equal matches, the farthest wins",
       cat({text("abcdefg1"), noise(10, 90), text("abcdefg2"), noise(11, 90), text("abcdefg3"),
            text("abcdefg4 and on")})},
      {"full-length ties near the block's end", cat({text("tail"), text("tail"), text("tail")})},
      {"hash neighbours", cat({all_triples, all_triples, all_triples})},
      {"ever longer matches", growing},
      {"long block, window moving", cat({testing::translation_chunk(12, 9000), run(300, ' '),
                                         testing::translation_chunk(12, 9000)})},
  };
  for (const auto& [what, input] : cases) expect_agreement(input, what);
}

TEST(Compressor, AgreesOnMixedInputs) {
  // Stretches of text, runs, patterns and noise one after another, so that
  // the search moves between its ways of finding a match mid-block.
  std::mt19937 rng(2024);
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<uint8_t> input;
    const size_t size = rng() % 40001;
    while (input.size() < size) {
      const size_t piece = 1 + rng() % 3000;
      std::vector<uint8_t> bytes;
      switch (rng() % 4) {
        case 0:
          bytes = testing::translation_chunk(rng(), piece);
          break;
        case 1:
          bytes =
              testing::periodic_bytes(std::string(1 + rng() % 12, static_cast<char>(rng())), piece);
          for (size_t i = 1; i < bytes.size(); i += 1 + rng() % 40) bytes[i] = bytes[i - 1];
          break;
        case 2:
          bytes = testing::random_bytes(rng(), piece % 200);
          break;
        default:  // an earlier stretch again, slightly changed
          if (input.empty()) break;
          const size_t from = rng() % input.size();
          bytes.assign(input.begin() + from, input.begin() + std::min(input.size(), from + piece));
          if (!bytes.empty()) bytes[rng() % bytes.size()] ^= 0x20;
      }
      input.insert(input.end(), bytes.begin(), bytes.end());
    }
    input.resize(size);
    expect_agreement(input, "mixed #" + std::to_string(trial));
  }
}

TEST(Compressor, AgreesAcrossBlockBoundaries) {
  for (size_t size : {17663, 17664, 17665, 20000, 35329, 40000}) {
    expect_agreement(testing::translation_chunk(3, size), "translations");
    expect_agreement(testing::periodic_bytes("x", size), "one byte");
  }
  expect_agreement(testing::random_bytes(5, 17666), "random");
  // Text whose repeats lie just across a block boundary must not match there.
  std::vector<uint8_t> text = testing::translation_chunk(9, 17664 - 100);
  const std::vector<uint8_t> tail(text.end() - 300, text.end());
  text.insert(text.end(), tail.begin(), tail.end());
  expect_agreement(text, "repeat across the boundary");
}

TEST(Compressor, ThreadsCompressIndependently) {
  const std::vector<uint8_t> a = testing::translation_chunk(21, 8191);
  const std::vector<uint8_t> b = testing::word_chunk(22, 8191);
  const std::vector<uint8_t> expected_a = reference_compress(a);
  const std::vector<uint8_t> expected_b = reference_compress(b);
  std::vector<uint8_t> out_a;
  std::vector<uint8_t> out_b;
  std::thread first([&] {
    for (int i = 0; i < 20; ++i) out_a = compress_bytes(a);
  });
  std::thread second([&] {
    for (int i = 0; i < 20; ++i) out_b = compress_bytes(b);
  });
  first.join();
  second.join();
  EXPECT_EQ(out_a, expected_a);
  EXPECT_EQ(out_b, expected_b);
}

TEST(CompressFile, WritesTheStreamAndCountsIt) {
  testing::TempDir dir;
  const std::vector<uint8_t> input = testing::translation_chunk(4, 40000);
  testing::write_bytes(dir.file("1.bin"), input);
  const CompressResult result = compress_file(dir.file("1.bin"), dir.file("2.bin"));
  ASSERT_TRUE(result.ok()) << result.message();
  const std::vector<uint8_t> written = testing::read_bytes(dir.file("2.bin"));
  EXPECT_EQ(written, compress_bytes(input));
  EXPECT_EQ(result.bytes_written, written.size());
}

TEST(CompressFile, ReportsEveryFailureWithTheFile) {
  testing::TempDir dir;
  testing::write_bytes(dir.file("1.bin"), bytes_of("some chunk text"));

  CompressResult result = compress_file(dir.file("missing.bin"), dir.file("2.bin"));
  EXPECT_EQ(result.status, CompressStatus::kCannotOpenSource);
  EXPECT_EQ(result.message(), "cannot open \"" + dir.file("missing.bin") +
                                  "\" for reading: No such file or directory");
  EXPECT_FALSE(testing::exists(dir.file("2.bin"))) << "nothing is created for a missing source";

  result = compress_file(dir.file("1.bin"), dir.file("no/such/folder/2.bin"));
  EXPECT_EQ(result.status, CompressStatus::kCannotCreateDestination);
  EXPECT_EQ(result.path, dir.file("no/such/folder/2.bin"));

  // A full disk.
  result = compress_file(dir.file("1.bin"), "/dev/full");
  EXPECT_EQ(result.status, CompressStatus::kCannotWriteDestination);
  EXPECT_EQ(result.message(), "cannot write \"/dev/full\": No space left on device");

  // A source that opens but cannot be read (offset 0 of the process's memory).
  result = compress_file("/proc/self/mem", dir.file("2.bin"));
  EXPECT_EQ(result.status, CompressStatus::kCannotReadSource);
  EXPECT_EQ(result.path, "/proc/self/mem");
}

}  // namespace
}  // namespace lexbuild
