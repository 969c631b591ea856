#include "intake/tab_splitter.h"

#include <gtest/gtest.h>

#include "driver/report.h"

namespace lexbuild {
namespace {

struct SplitResult {
  std::string out;      // each output line followed by "\n"
  std::string console;  // warnings
  std::string fatal;    // the fatal report, if any
};

// Runs the splitter's core on `text`, in which "\n" is a line end.
SplitResult split(std::string_view text, SplitMode mode = SplitMode::kCut, int unicode = 0) {
  SplitResult result;
  StringConsole console;
  TabSplitter<uint8_t> splitter(split_limits(unicode), mode, console,
                                [&](std::span<const uint8_t> line) {
                                  result.out.append(line.begin(), line.end());
                                  result.out += '\n';
                                });
  try {
    for (char c : text) {
      if (c == '\n') {
        splitter.line_end();
      } else {
        splitter.put(static_cast<uint8_t>(c));
      }
    }
    splitter.finish();
  } catch (const FatalError& error) {
    result.fatal = error.output();
  }
  result.console = console.text();
  return result;
}

std::string repeat(char c, size_t n) { return std::string(n, c); }

constexpr std::string_view kAlphabet30 = "abcdefghijklmnopqrstuvwxyz0123";

TEST(TabSplitter, LinesWithinTheLimitsPassUnchanged) {
  EXPECT_EQ(split("cat\tanimal\n").out, "cat\tanimal\n");
  EXPECT_EQ(split("cat\tanimal").out, "cat\tanimal\n") << "the last line gets its line end";
  EXPECT_EQ(split("a\tb\tc\n\nabc\ncat\tanimal\n").out, "a\tb\tc\n\nabc\ncat\tanimal\n")
      << "short lines without a TAB pass too";
  EXPECT_EQ(split("cat\tanimal\nleftover").out, "cat\tanimal\n")
      << "a last line without TAB and line end is dropped";
  const std::string word25 = repeat('w', 25) + "\tdef\n";
  EXPECT_EQ(split(word25).out, word25);
  const std::string definition8000 = "k\t" + repeat('d', 8000) + "\n";
  EXPECT_EQ(split(definition8000).out, definition8000);
}

TEST(TabSplitter, AnOverLongWordIsTruncatedAndMovedIntoTheDefinition) {
  EXPECT_EQ(split(std::string(kAlphabet30) + "\tdef\n").out,
            "abcdefghijklmnopqrstuvwxy\tabcdefghijklmnopqrstuvwxyz0123\\n\\ndef\n");
  EXPECT_EQ(split(repeat('w', 26) + "\tdef\n").out,
            repeat('w', 25) + "\t" + repeat('w', 26) + "\\n\\ndef\n");
  // A word over the limit only because of an earlier line without a TAB is
  // within the limit: each line is measured on its own.
  const std::string lines = "abc\n" + repeat('w', 24) + "\tdef\n";
  EXPECT_EQ(split(lines).out, lines);
}

TEST(TabSplitter, UnicodeLimitsAreTwelveAndFourThousand) {
  EXPECT_EQ(split("abcdefghijkl\tx\n", SplitMode::kCut, 1).out, "abcdefghijkl\tx\n");
  EXPECT_EQ(split("abcdefghijklm\tx\n", SplitMode::kCut, 1).out,
            "abcdefghijkl\tabcdefghijklm\\n\\nx\n");
  EXPECT_EQ(split("abcdefghijklm\tx\n", SplitMode::kCheck, 1).fatal,
            "lexbuild error: word length is more than 25 bytes, line 1\n");
  const std::string definition4000 = "k\t" + repeat('d', 4000) + "\n";
  EXPECT_EQ(split(definition4000, SplitMode::kCut, 1).out, definition4000);
  EXPECT_EQ(split("k\t" + repeat('d', 4001), SplitMode::kCheck, 1).fatal,
            "lexbuild error: word definition length is more than 8000 bytes, line 1\n");
}

TEST(TabSplitter, ALongLineWithoutTabBecomesAnEntryWithAWarning) {
  const SplitResult r = split(std::string(kAlphabet30) + "\ncat\tanimal\n");
  EXPECT_EQ(r.out,
            "abcdefghijklmnopqrstuvwxy\tabcdefghijklmnopqrstuvwxyz0123\\n\\n\ncat\tanimal\n");
  EXPECT_EQ(r.console, "lexbuild: (WARNING) line 1 has no tab\n");

  const SplitResult last = split("x\ty\nshort\n" + std::string(kAlphabet30));
  EXPECT_EQ(last.out,
            "x\ty\nshort\nabcdefghijklmnopqrstuvwxy\tabcdefghijklmnopqrstuvwxyz0123\\n\\n\n")
      << "the end of the input ends it like a line end";
  EXPECT_EQ(last.console, "lexbuild: (WARNING) line 3 has no tab\n") << "every line counts";

  EXPECT_EQ(split(repeat('w', 26)).out, repeat('w', 25) + "\t" + repeat('w', 26) + "\\n\\n\n");
}

TEST(TabSplitter, AnOverLongDefinitionIsCutIntoPiecesAtASpace) {
  const SplitResult r = split("k\t" + repeat('x', 3999) + " " + repeat('y', 4001) + "\nz\tz\n");
  EXPECT_EQ(r.out, "k [1]\t" + repeat('x', 3999) + " \nk [2]\t" + repeat('y', 4001) + "\nz\tz\n");
  EXPECT_EQ(r.out.find('\n'), 4006u);

  // A cut is made as soon as the definition is over the limit, as often as
  // the line needs.
  const std::string part = repeat('a', 5999) + " ";
  EXPECT_EQ(split("w\t" + part + part + part + "end\n").out,
            "w [1]\t" + part + "\nw [2]\t" + part + "\nw [3]\t" + part + "end\n");
}

TEST(TabSplitter, PiecesFromTheTenthOnCarryTwoDigits) {
  std::string text = "cat\t";
  for (int i = 0; i < 11; ++i) text += repeat('p', 7999) + " ";
  const SplitResult r = split(text + "\n");
  EXPECT_EQ(r.fatal, "");
  EXPECT_NE(r.out.find("\ncat [9]\t"), std::string::npos);
  EXPECT_NE(r.out.find("\ncat[10]\t"), std::string::npos) << "no space before the tenth marker";
  EXPECT_NE(r.out.find("\ncat[11]\t"), std::string::npos);
}

TEST(TabSplitter, ATruncatedWordTakesTheMarkerInItsLastFourBytes) {
  // The definition is the 30-byte word, the escapes and 8001 bytes: a cut.
  const SplitResult r =
      split(std::string(kAlphabet30) + "\t" + repeat('d', 3000) + " " + repeat('e', 5000) + "\n");
  EXPECT_EQ(r.out, "abcdefghijklmnopqrstu [1]\tabcdefghijklmnopqrstuvwxyz0123\\n\\n" +
                       repeat('d', 3000) + " \nabcdefghijklmnopqrstu [2]\t" + repeat('e', 5000) +
                       "\n");
}

TEST(TabSplitter, APieceWithoutASpaceIsCutAtTheLimit) {
  const SplitResult r = split("k\t" + repeat('x', 8001) + "\n");
  EXPECT_EQ(r.out, "k [1]\t" + repeat('x', 8000) + "\nk [2]\tx\n");
}

TEST(TabSplitter, MoreThanNinetyNinePiecesAreRefused) {
  const SplitResult ok = split("k\t" + repeat('x', 99 * 8000) + "\n");
  EXPECT_EQ(ok.fatal, "");
  EXPECT_NE(ok.out.find("\nk[99]\t"), std::string::npos);
  const SplitResult r = split("a\tb\nk\t" + repeat('x', 99 * 8000 + 1) + "\n");
  EXPECT_EQ(r.fatal, "lexbuild error: word definition is too long to cut into 99 pieces, line 2\n");
}

TEST(TabSplitter, AWordTooLongForTheLineBufferIsRefused) {
  const std::string longest(8162, 'w');
  EXPECT_EQ(split(longest + "\tx\n").fatal, "");
  EXPECT_EQ(split("a\tb\n" + longest + "w\tx\n").fatal,
            "lexbuild error: word length is more than 8162 bytes, line 2\n");
  EXPECT_EQ(split(longest + "w").fatal,
            "lexbuild error: word length is more than 8162 bytes, line 1\n")
      << "a line without a TAB as well";
}

TEST(TabSplitter, CheckingReportsTheFirstLineOverALimit) {
  EXPECT_EQ(split("cat\tanimal\n" + repeat('w', 26) + "\tx\n", SplitMode::kCheck).fatal,
            "lexbuild error: word length is more than 25 bytes, line 2\n");
  EXPECT_EQ(split("abc\n" + repeat('w', 26) + "\tx\n", SplitMode::kCheck).fatal,
            "lexbuild error: word length is more than 25 bytes, line 2\n");
  EXPECT_EQ(split("k\t" + repeat('d', 8001) + "\n", SplitMode::kCheck).fatal,
            "lexbuild error: word definition length is more than 8000 bytes, line 1\n");
  const std::string fine = "abc\n" + repeat('w', 25) + "\t" + repeat('d', 8000) + "\n";
  const SplitResult r = split(fine, SplitMode::kCheck);
  EXPECT_EQ(r.fatal, "");
  EXPECT_EQ(r.out, fine) << "checked lines are handed on unchanged";
}

TEST(TabSplitter, SixteenBitUnits) {
  std::u16string out;
  StringConsole console;
  TabSplitter<char16_t> splitter(split_limits(1), SplitMode::kCut, console,
                                 [&](std::span<const char16_t> line) {
                                   out.append(line.begin(), line.end());
                                   out += u'|';
                                 });
  for (char16_t u : std::u16string_view(u"\u0436\u0430\u0440\u0435\u043D\u044B\u0439\u0436\u0430"
                                        u"\u0440\u0435\u043D\u044B\t\u0A09")) {
    splitter.put(u);
  }
  splitter.line_end();
  splitter.finish();
  EXPECT_EQ(out,
            u"\u0436\u0430\u0440\u0435\u043D\u044B\u0439\u0436\u0430\u0440\u0435\u043D\t"
            u"\u0436\u0430\u0440\u0435\u043D\u044B\u0439\u0436\u0430\u0440\u0435\u043D\u044B"
            u"\\n\\n\u0A09|")
      << "a 13-unit word is cut to 12 units; the unit 0A09 is no TAB";
}

}  // namespace
}  // namespace lexbuild
