// Feeds arbitrary lists to the TAB splitter and the sort. The first byte
// picks the mode; the rest is the list, with LF as the line end. Every line
// the splitter writes must keep the limits, and the sort's order must agree
// with its comparison.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "driver/console.h"
#include "driver/report.h"
#include "intake/locale_sort.h"
#include "intake/source_locale.h"
#include "intake/tab_splitter.h"

using namespace lexbuild;

namespace {

void check_line(std::span<const uint8_t> line, SplitLimits limits) {
  size_t tab = 0;
  while (tab < line.size() && line[tab] != '\t') ++tab;
  for (uint8_t b : line) {
    if (b == '\n') std::abort();
  }
  if (tab == line.size()) {
    if (line.size() > limits.word) std::abort();  // a short line without a TAB
    return;
  }
  if (tab > limits.word + 4) std::abort();  // the word and its piece marker
  if (line.size() - tab - 1 > limits.definition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool cut = data[0] & 1;
  const int unicode = (data[0] >> 1) & 1;
  const std::span<const uint8_t> text(data + 1, size - 1);

  const SplitLimits limits = split_limits(unicode);
  StringConsole console;
  std::vector<uint8_t> list;
  TabSplitter<uint8_t> splitter(limits, cut ? SplitMode::kCut : SplitMode::kCheck, console,
                                [&](std::span<const uint8_t> line) {
                                  check_line(line, limits);
                                  list.insert(list.end(), line.begin(), line.end());
                                  list.push_back('\n');
                                });
  try {
    for (uint8_t b : text) {
      if (b == '\n') {
        splitter.line_end();
      } else {
        splitter.put(b);
      }
    }
    splitter.finish();
  } catch (const FatalError&) {
    return 0;  // a refused line: nothing was written past a buffer
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
    if (lines[i].length == 0) std::abort();  // empty lines are dropped
    if (i == 0) continue;
    const bool previous_entry = has_tab(lines[i - 1]);
    const bool entry = has_tab(lines[i]);
    if (entry && !previous_entry) std::abort();  // entries come first
    if (entry && compare_8bit_keys(key(lines[i - 1]), key(lines[i]), english.byte_ranks()) > 0) {
      std::abort();
    }
  }
  return 0;
}
