// Arbitrary lists through the TAB splitter and the sort. The first byte picks
// cutting or checking, the limits (8-bit or UTF-16 source), the list's width
// and the block size the file is read in; the rest is the list.
//
// 8-bit lists go through the stage's own reader (feed_8bit_text, from a file,
// in blocks, runs of characters handed over with put_run) and must give
// exactly the lines, warnings and refusals of the same text handed over one
// character at a time. 16-bit lists are fed as units, in runs and one at a
// time alike. Every line written must keep the limits, and the sort's order
// must agree with its comparison.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "driver/console.h"
#include "driver/report.h"
#include "fuzz_support.h"
#include "intake/locale_sort.h"
#include "intake/source_locale.h"
#include "intake/tab_splitter.h"
#include "platform/file.h"

using namespace lexbuild;

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

template <typename Unit>
struct Outcome {
  std::vector<std::vector<Unit>> lines;
  std::string console;
  std::optional<std::string> refusal;

  bool operator==(const Outcome&) const = default;
};

template <typename Unit>
void check_line(std::span<const Unit> line, SplitLimits limits) {
  const size_t tab = std::find(line.begin(), line.end(), Unit{'\t'}) - line.begin();
  check(std::find(line.begin(), line.end(), Unit{'\n'}) == line.end());
  check(line.size() * sizeof(Unit) <= kSplitLineBufferBytes);
  if (tab == line.size()) {
    check(line.size() <= limits.word);  // a short line without a TAB
    return;
  }
  check(tab <= limits.word + 4);  // the word and its piece marker
  check(line.size() - tab - 1 <= limits.definition);
}

// Runs the splitter with `feed` handing it the list; collects what it writes.
template <typename Unit, typename Feed>
Outcome<Unit> run(SplitLimits limits, SplitMode mode, Feed feed) {
  Outcome<Unit> outcome;
  StringConsole console;
  TabSplitter<Unit> splitter(limits, mode, console, [&](std::span<const Unit> line) {
    check_line(line, limits);
    outcome.lines.emplace_back(line.begin(), line.end());
  });
  try {
    feed(splitter);
  } catch (const FatalError& e) {
    check(e.exit_status() == 1);
    outcome.refusal = e.output();  // a refused line: nothing was written past a buffer
  }
  outcome.console = console.text();
  return outcome;
}

// Hands `units` over in runs whose lengths come from `seed`, a line end at each LF.
template <typename Unit>
void feed_in_runs(TabSplitter<Unit>& splitter, std::span<const Unit> units, uint32_t seed) {
  size_t i = 0;
  while (i < units.size()) {
    if (units[i] == Unit{'\n'}) {
      splitter.line_end();
      ++i;
      continue;
    }
    seed = seed * 1103515245u + 12345u;
    const size_t most = 1 + (seed >> 16) % 300;
    size_t j = i;
    while (j < units.size() && j - i < most && units[j] != Unit{'\n'}) ++j;
    splitter.put_run(units.subspan(i, j - i));
    i = j;
  }
  splitter.finish();
}

void check_sort(const Outcome<uint8_t>& outcome) {
  std::vector<uint8_t> list;
  for (const auto& line : outcome.lines) {
    list.insert(list.end(), line.begin(), line.end());
    list.push_back('\n');
  }
  static const SourceLocale english = SourceLocale::select("English");
  bool too_long = false;
  const std::vector<ListLine> lines = sorted_lines(list, ListEncoding::k8Bit, english, &too_long);
  auto has_tab = [&](const ListLine& line) {
    const auto bytes = std::span(list).subspan(line.offset, line.length);
    return std::find(bytes.begin(), bytes.end(), '\t') != bytes.end();
  };
  auto key = [&](const ListLine& line) {
    return std::span<const uint8_t>(list).subspan(line.offset, line.key_length);
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    check(lines[i].length != 0);  // empty lines are dropped
    if (i == 0) continue;
    const bool previous_entry = has_tab(lines[i - 1]);
    const bool entry = has_tab(lines[i]);
    check(!entry || previous_entry);  // entries come first
    if (entry) {
      check(compare_8bit_keys(key(lines[i - 1]), key(lines[i]), english.byte_ranks()) <= 0);
    }
  }
}

void fuzz_8bit(SplitLimits limits, SplitMode mode, size_t block_size,
               std::span<const uint8_t> bytes) {
  const std::string path = fuzz::scratch_path("list.txt");
  check(platform::write_file(path, bytes));
  const auto from_file = run<uint8_t>(limits, mode, [&](TabSplitter<uint8_t>& splitter) {
    platform::InputFile file;
    check(file.open(path));
    feed_8bit_text(file, splitter, block_size);
  });

  // The same list one character at a time: LF and a lone CR end a line, a
  // CR just before an LF goes.
  const std::vector<uint8_t> text = fuzz::text_mode_read(bytes);
  const auto by_character = run<uint8_t>(limits, mode, [&](TabSplitter<uint8_t>& splitter) {
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') {
        splitter.line_end();
      } else if (text[i] == '\r') {
        if (i + 1 == text.size() || text[i + 1] != '\n') splitter.line_end();
      } else {
        splitter.put(text[i]);
      }
    }
    splitter.finish();
  });
  check(from_file == by_character);
  if (!from_file.refusal) check_sort(from_file);
}

void fuzz_16bit(SplitLimits limits, SplitMode mode, uint32_t seed, std::span<const uint8_t> bytes) {
  std::vector<char16_t> units(bytes.size() / 2);
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  const auto in_runs = run<char16_t>(limits, mode, [&](TabSplitter<char16_t>& splitter) {
    feed_in_runs<char16_t>(splitter, units, seed);
  });
  const auto by_unit = run<char16_t>(limits, mode, [&](TabSplitter<char16_t>& splitter) {
    for (char16_t u : units) {
      if (u == u'\n') {
        splitter.line_end();
      } else {
        splitter.put(u);
      }
    }
    splitter.finish();
  });
  check(in_runs == by_unit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode_byte = data[0];
  const SplitMode mode = mode_byte & 1 ? SplitMode::kCut : SplitMode::kCheck;
  const SplitLimits limits = split_limits((mode_byte >> 1) & 1);
  const bool sixteen_bit = (mode_byte >> 2) & 1;
  const size_t block_size = 1 + (mode_byte >> 3);  // 1 to 32: block edges everywhere
  const std::span<const uint8_t> list(data + 1, size - 1);
  if (sixteen_bit) {
    fuzz_16bit(limits, mode, mode_byte, list);
  } else {
    fuzz_8bit(limits, mode, block_size, list);
  }
  return 0;
}
