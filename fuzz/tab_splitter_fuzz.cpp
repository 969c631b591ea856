// Arbitrary lists through the TAB splitter and the sort. The first byte picks
// cutting or checking, the limits (those of an 8-bit or a UTF-16 build), the
// list's width and the block size the file is read in; the rest is the list.
//
// 8-bit lists go through the splitter's reader (feed_8bit_text, from a file,
// in small blocks, runs of characters handed over with put_run) and through
// the whole stage (csv_cut_out, writing its stage file), and both must give
// exactly the lines, warnings and refusals of the same text handed over one
// character at a time. 16-bit lists (UTF-16 limits) go through the stage and
// are fed as units, in runs and one at a time, with the same agreement.
// Every line written must keep the limits, and the sort's order must agree
// with its comparison.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "driver/build_context.h"
#include "driver/console.h"
#include "driver/log.h"
#include "driver/report.h"
#include "driver/settings.h"
#include "fuzz_support.h"
#include "intake/current_list.h"
#include "intake/locale_sort.h"
#include "intake/source_locale.h"
#include "intake/tab_splitter.h"
#include "platform/file.h"

using namespace lexbuild;

namespace {

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
  FUZZ_CHECK(std::find(line.begin(), line.end(), Unit{'\n'}) == line.end());
  FUZZ_CHECK(line.size() * sizeof(Unit) <= kSplitLineBufferBytes);
  if (tab == line.size()) {
    FUZZ_CHECK(line.size() <= limits.word);  // a short line without a TAB
    return;
  }
  FUZZ_CHECK(tab <= limits.word + 4);  // the word and its piece marker
  FUZZ_CHECK(line.size() - tab - 1 <= limits.definition);
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
    FUZZ_CHECK(e.exit_status() == 1);
    outcome.refusal = e.output();  // a refused line: nothing was written past a buffer
  }
  outcome.console = console.text();
  return outcome;
}

// What a stage that refuses a list leaves is nothing at all: the lines
// written before the refusal do not count.
template <typename Unit>
bool same_result(const Outcome<Unit>& stage, const Outcome<Unit>& expected) {
  return stage.refusal == expected.refusal && stage.console == expected.console &&
         (stage.refusal || stage.lines == expected.lines);
}

// The whole stage on the list at `path`: its stage file's lines, decoded
// back (8-bit bytes, or UTF-16LE units), its warnings and its refusal. With
// checking only, the stage keeps a copy of the lines it checked.
template <typename Unit>
Outcome<Unit> run_stage(const std::string& path, int unicode, int to_unicode, SplitMode mode) {
  Outcome<Unit> outcome;
  Settings settings = init_settings_with_work_folder(fuzz::scratch_folder());
  settings.infile = path;
  settings.source_format = ".tab";
  settings.unicode = unicode;
  settings.to_unicode = to_unicode;
  settings.cutlong = mode == SplitMode::kCut ? 1 : 0;
  StringConsole console;
  Log log;
  BuildContext context(settings, console, log);
  CurrentList list(settings);
  try {
    FUZZ_CHECK(csv_cut_out(context, list, true) == 1);
  } catch (const FatalError& e) {
    FUZZ_CHECK(e.exit_status() == 1);
    outcome.refusal = e.output();
    outcome.console = console.text();
    FUZZ_CHECK(list.path() == path);  // the source stays the current list
    return outcome;
  }
  outcome.console = console.text();
  FUZZ_CHECK(list.is_stage_file() && settings.infile == list.path());
  std::vector<uint8_t> bytes;
  FUZZ_CHECK(platform::read_file(list.path(), bytes));
  FUZZ_CHECK(platform::remove_file(list.path()));
  // Lines end in the bytes CR LF, which stand at even offsets in a 16-bit list.
  std::vector<Unit> line;
  for (size_t i = 0; i < bytes.size(); i += sizeof(Unit)) {
    if (i + 1 < bytes.size() && bytes[i] == '\r' && bytes[i + 1] == '\n') {
      outcome.lines.push_back(line);
      line.clear();
      i += 2 - sizeof(Unit);
      continue;
    }
    FUZZ_CHECK(i + sizeof(Unit) <= bytes.size());
    line.push_back(sizeof(Unit) == 1 ? bytes[i]
                                     : static_cast<Unit>(bytes[i] | (bytes[i + 1] << 8)));
  }
  FUZZ_CHECK(line.empty());  // the last line has its line end too
  return outcome;
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
    FUZZ_CHECK(lines[i].length != 0);  // empty lines are dropped
    if (i == 0) continue;
    const bool previous_entry = has_tab(lines[i - 1]);
    const bool entry = has_tab(lines[i]);
    FUZZ_CHECK(!entry || previous_entry);  // entries come first
    if (entry) {
      FUZZ_CHECK(compare_8bit_keys(key(lines[i - 1]), key(lines[i]), english.byte_ranks()) <= 0);
    }
  }
}

void fuzz_8bit(SplitLimits limits, SplitMode mode, size_t block_size,
               std::span<const uint8_t> bytes) {
  const std::string path = fuzz::scratch_path("list.txt");
  FUZZ_CHECK(platform::write_file(path, bytes));
  const auto from_file = run<uint8_t>(limits, mode, [&](TabSplitter<uint8_t>& splitter) {
    platform::InputFile file;
    FUZZ_CHECK(file.open(path));
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
  FUZZ_CHECK(from_file == by_character);
  // The stage reads the list with UTF-16 limits only in a chain that converts it.
  const int unicode = limits.word == split_limits(1).word ? 1 : 0;
  FUZZ_CHECK(same_result(run_stage<uint8_t>(path, unicode, unicode, mode), by_character));
  if (!from_file.refusal) check_sort(from_file);
}

void fuzz_16bit(SplitMode mode, uint32_t seed, std::span<const uint8_t> bytes) {
  const SplitLimits limits = split_limits(1);
  const std::string path = fuzz::scratch_path("list16.txt");
  FUZZ_CHECK(platform::write_file(path, bytes));
  const auto from_stage = run_stage<char16_t>(path, 1, 0, mode);

  // The units as the stage reads them: a leading byte-order mark goes; the
  // unit 0x0A0D, a lone LF and CR LF end a line; an odd last byte is no unit.
  std::vector<char16_t> units;
  std::vector<size_t> line_ends;  // positions in `units` where a line ends
  size_t i = 0;
  const size_t count = bytes.size() / 2;
  auto unit_at = [&](size_t k) {
    return static_cast<char16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
  };
  if (count > 0 && unit_at(0) == 0xFEFF) i = 1;
  for (; i < count; ++i) {
    const char16_t u = unit_at(i);
    if (u == 0x0A0D || u == 0x000A) {
      line_ends.push_back(units.size());
    } else if (u == 0x000D && i + 1 < count && unit_at(i + 1) == 0x000A) {
      line_ends.push_back(units.size());
      ++i;
    } else {
      units.push_back(u);
    }
  }
  auto feed = [&](TabSplitter<char16_t>& splitter, bool in_runs) {
    size_t start = 0;
    for (size_t k = 0; k <= line_ends.size(); ++k) {
      const size_t end = k < line_ends.size() ? line_ends[k] : units.size();
      const std::span<const char16_t> line(units.data() + start, end - start);
      if (in_runs) {
        for (size_t at = 0; at < line.size();) {
          seed = seed * 1103515245u + 12345u;
          const size_t run = std::min(line.size() - at, size_t{1} + (seed >> 16) % 300);
          splitter.put_run(line.subspan(at, run));
          at += run;
        }
      } else {
        for (char16_t u : line) splitter.put(u);
      }
      if (k < line_ends.size()) splitter.line_end();
      start = end;
    }
    splitter.finish();
  };
  const auto in_runs = run<char16_t>(limits, mode, [&](auto& splitter) { feed(splitter, true); });
  const auto by_unit = run<char16_t>(limits, mode, [&](auto& splitter) { feed(splitter, false); });
  FUZZ_CHECK(in_runs == by_unit);
  FUZZ_CHECK(same_result(from_stage, by_unit));
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
    fuzz_16bit(mode, mode_byte, list);
  } else {
    fuzz_8bit(limits, mode, block_size, list);
  }
  return 0;
}
