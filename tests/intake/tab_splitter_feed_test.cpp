// Feeding a list to the splitter in runs gives the lines that feeding it one
// character at a time gives, cut and repaired alike.
#include <gtest/gtest.h>

#include <random>

#include "driver/report.h"
#include "intake/tab_splitter.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

struct Fed {
  std::string lines;  // each followed by "|"
  std::string console;
  std::string fatal;
};

template <typename Feed>
Fed split_with(SplitMode mode, Feed&& feed) {
  Fed fed;
  StringConsole console;
  TabSplitter<uint8_t> splitter(split_limits(0), mode, console, [&](std::span<const uint8_t> line) {
    fed.lines.append(line.begin(), line.end());
    fed.lines += '|';
  });
  try {
    feed(splitter);
  } catch (const FatalError& error) {
    fed.fatal = error.output();
  }
  fed.console = console.text();
  return fed;
}

// One character at a time through platform::TextInput, the plain way.
Fed one_at_a_time(const std::string& path, SplitMode mode) {
  return split_with(mode, [&](TabSplitter<uint8_t>& splitter) {
    platform::InputFile file;
    ASSERT_TRUE(file.open(path));
    platform::TextInput text(file);
    int c = text.get();
    while (c >= 0) {
      const int next = text.get();
      if (c == '\n' || (c == '\r' && next != '\n')) {
        splitter.line_end();
      } else if (c != '\r') {
        splitter.put(static_cast<uint8_t>(c));
      }
      c = next;
    }
    splitter.finish();
  });
}

Fed in_runs(const std::string& path, SplitMode mode, size_t block) {
  return split_with(mode, [&](TabSplitter<uint8_t>& splitter) {
    platform::InputFile file;
    ASSERT_TRUE(file.open(path));
    feed_8bit_text(file, splitter, block);
  });
}

void expect_same(const Fed& a, const Fed& b, const std::string& what) {
  EXPECT_EQ(a.lines, b.lines) << what;
  EXPECT_EQ(a.console, b.console) << what;
  EXPECT_EQ(a.fatal, b.fatal) << what;
}

TEST(TabSplitterFeed, RunsGiveTheSameLinesAsSingleCharacters) {
  TempDir dir;
  const std::string path = dir.file("list");
  std::mt19937 rng(5);
  const auto text_of = [&](size_t length) {
    static const char kChars[] = "abcdefgh   ";
    std::string s;
    for (size_t i = 0; i < length; ++i) s += kChars[rng() % (sizeof kChars - 1)];
    return s;
  };
  for (int round = 0; round < 60; ++round) {
    std::string list;
    const int lines = 1 + static_cast<int>(rng() % 12);
    for (int l = 0; l < lines; ++l) {
      // Words up to twice the limit, definitions up to three times it.
      const size_t word = rng() % 3 == 0 ? 20 + rng() % 40 : 1 + rng() % 10;
      const size_t definition = rng() % 4 == 0 ? 7990 + rng() % 16500 : rng() % 300;
      list += text_of(word);
      if (rng() % 10 != 0) list += "\t" + text_of(definition);
      static const char* const kEnds[] = {"\r\n", "\r\n", "\n", "\r", "\r\r\n"};
      list += kEnds[rng() % 5];
    }
    write_text(path, list);
    for (const SplitMode mode : {SplitMode::kCut, SplitMode::kCheck}) {
      const Fed expected = one_at_a_time(path, mode);
      for (const size_t block : {size_t{1}, size_t{5}, size_t{4096}, size_t{65536}}) {
        expect_same(in_runs(path, mode, block), expected,
                    "round " + std::to_string(round) + ", block " + std::to_string(block));
      }
    }
  }
}

}  // namespace
}  // namespace lexbuild::testing
