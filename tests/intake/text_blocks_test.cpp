// Reading text a block at a time gives what reading it a character at a time gives.
#include "intake/text_blocks.h"

#include <gtest/gtest.h>

#include <random>

#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

std::string by_characters(const std::string& path) {
  platform::InputFile file;
  EXPECT_TRUE(file.open(path));
  platform::TextInput text(file);
  std::string out;
  for (int c = text.get(); c >= 0; c = text.get()) out += static_cast<char>(c);
  return out;
}

std::string by_blocks(const std::string& path, size_t block_size) {
  platform::InputFile file;
  EXPECT_TRUE(file.open(path));
  TextBlocks blocks(file, block_size);
  std::vector<uint8_t> text;
  std::string out;
  while (blocks.next(text)) out.append(text.begin(), text.end());
  return out;
}

TEST(TextBlocks, CrLfPairsLoneCrsAndTheEndOfTextAtEveryBlockBoundary) {
  TempDir dir;
  const std::string path = dir.file("list");
  for (const std::string text :
       {"", "a\r\nb", "\r", "\r\n", "\r\r\n\r", "ab\r\x1A\ncd", "a\r\n\x1A", "x\r", "\x1A\r\n"}) {
    write_text(path, text);
    for (size_t block = 1; block <= 4; ++block) {
      EXPECT_EQ(by_blocks(path, block), by_characters(path))
          << to_hex(bytes_of(text)) << " / " << block;
    }
  }

  std::mt19937 rng(3);
  const char alphabet[] = {'a', 'b', '\t', '\r', '\r', '\n', '\n', ' '};
  for (int round = 0; round < 200; ++round) {
    std::string text;
    const size_t length = rng() % 200;
    for (size_t i = 0; i < length; ++i) text += alphabet[rng() % sizeof alphabet];
    if (rng() % 4 == 0) text.insert(rng() % (text.size() + 1), 1, '\x1A');
    write_text(path, text);
    const std::string expected = by_characters(path);
    for (const size_t block : {1u, 2u, 3u, 7u, 64u}) {
      ASSERT_EQ(by_blocks(path, block), expected) << to_hex(bytes_of(text)) << " / " << block;
    }
  }
}

}  // namespace
}  // namespace lexbuild::testing
