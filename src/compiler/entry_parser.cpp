#include "compiler/entry_parser.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "compiler/format.h"
#include "driver/report.h"
#include "intake/byte_search.h"

namespace lexbuild {
namespace {

constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kLf = 0x0A;
constexpr uint8_t kTab = 0x09;
constexpr uint8_t kSpace = 0x20;
constexpr uint8_t kBackslash = 0x5C;
constexpr uint8_t kLetterN = 0x6E;

/// A translation record stays below the chunk limit, in its long form too.
constexpr size_t kMaxTranslationBytes = format::kChunkLimit - 1 - kLongTranslationHead;

/// How much of a line an error message quotes.
constexpr size_t kPreviewUnits = 24;

template <typename Unit>
constexpr bool kWide = sizeof(Unit) == 2;

// Appends units as they are stored: bytes as they are, UTF-16 units low byte first.
template <typename Unit>
void append_units(std::vector<uint8_t>& out, std::span<const Unit> units) {
  if constexpr (kWide<Unit>) {
    // Grown once, then written: a store of tens of megabytes is filled here.
    const size_t start = out.size();
    out.resize(start + 2 * units.size());
    uint8_t* at = out.data() + start;
    if constexpr (std::endian::native == std::endian::little) {
      // The units in memory are already low byte first.
      if (!units.empty()) std::memcpy(at, units.data(), 2 * units.size());
    } else {
      for (const uint16_t u : units) {
        *at++ = static_cast<uint8_t>(u);
        *at++ = static_cast<uint8_t>(u >> 8);
      }
    }
  } else {
    out.insert(out.end(), units.begin(), units.end());
  }
}

// The start of a line as printable text, so the user can find the entry.
// UTF-16 units beyond ASCII are shown as '?'; 8-bit bytes are shown as they
// are, in the source's own code page.
template <typename Unit>
std::string preview(std::span<const Unit> line) {
  std::string text;
  for (size_t i = 0; i < line.size() && i < kPreviewUnits; ++i) {
    const unsigned u = line[i];
    if (u == kTab || u == kLf) {
      text += ' ';
    } else if (u < 0x20 || u == 0x7F || (kWide<Unit> && u > 0x7F)) {
      text += '?';
    } else {
      text += static_cast<char>(u);
    }
  }
  if (line.size() > kPreviewUnits) text += "...";
  return text;
}

}  // namespace

void EntryParser::parse_list(std::span<const uint8_t> data, const TraceSink& trace) {
  parse_block(data, /*at_end=*/true, trace);
}

void EntryParser::parse_stream(const ListReader& read, const TraceSink& trace, size_t block_size) {
  // An even size keeps a block's UTF-16 units whole.
  const size_t size = std::max<size_t>(2, block_size + block_size % 2);
  std::vector<uint8_t> block(size);
  size_t held = 0;  // the start of a line that the last block cut off
  for (;;) {
    // A line longer than the block (possible only for small blocks: lines
    // are limited) needs a larger one.
    if (held == block.size()) block.resize(2 * block.size());
    const size_t filled = held + read(std::span(block).subspan(held));
    const bool at_end = filled < block.size();
    const BlockProgress progress = parse_block(std::span(block).first(filled), at_end, trace);
    if (progress.ended || at_end) return;
    held = filled - progress.consumed;
    std::copy(block.begin() + static_cast<std::ptrdiff_t>(progress.consumed),
              block.begin() + static_cast<std::ptrdiff_t>(filled), block.begin());
  }
}

EntryParser::BlockProgress EntryParser::parse_block(std::span<const uint8_t> data, bool at_end,
                                                    const TraceSink& trace) {
  if (unicode_) {
    // Units are read little-endian whatever the host; an odd last byte is ignored.
    const size_t units = data.size() / 2;
    const auto unit_at = [data](size_t k) {
      return static_cast<uint16_t>(data[2 * k] | (data[2 * k + 1] << 8));
    };
    std::vector<uint16_t> line;
    line.reserve(kMaxLineUnits);
    size_t pos = 0;
    while (pos < units) {
      const uint8_t* from = data.data() + 2 * pos;
      const uint8_t* last = data.data() + 2 * units;
      const size_t end = pos + static_cast<size_t>(find_unit(from, last, kCr, kLf) - from) / 2;
      // A line whose end is not in the block is read with the next one,
      // unless it is too long anyway.
      if (!at_end && end == units && end - pos <= kMaxLineUnits) return {2 * pos, false};
      ++line_number_;
      line.resize(std::min(end - pos, kMaxLineUnits));
      if constexpr (std::endian::native == std::endian::little) {
        if (!line.empty()) std::memcpy(line.data(), from, 2 * line.size());
      } else {
        for (size_t k = 0; k < line.size(); ++k) line[k] = unit_at(pos + k);
      }
      if (end - pos > kMaxLineUnits) {
        entry_fatal<uint16_t>(line, "the line is longer than 4095 characters; shorten the entry");
      }
      pos = end < units ? end + 1 : end;
      if (line.empty()) return {2 * pos, true};  // an empty line ends the list
      handle_line<uint16_t>(line, trace);
    }
    return {2 * pos, false};
  }

  std::vector<uint8_t> line;
  line.reserve(kMaxLineBytes);
  size_t pos = 0;
  while (pos < data.size()) {
    const size_t start = pos;
    const std::span<const uint8_t> rest = data.subspan(start);
    const size_t end = start + static_cast<size_t>(std::ranges::find(rest, kCr) - rest.begin());
    // A line that the block cuts off, or whose CR may have its LF in the
    // next block, is read with the next one, unless it is too long anyway.
    if (!at_end && end + 1 >= data.size() && end - start <= kMaxLineBytes) return {start, false};
    ++line_number_;
    // A CR ends the line, with the LF after it if there is one; a bare LF does not.
    pos = end;
    if (pos < data.size()) {
      ++pos;
      if (pos < data.size() && data[pos] == kLf) ++pos;
    }
    if (end == start) return {pos, true};  // an empty line ends the list
    if (end - start > kMaxLineBytes) {
      entry_fatal<uint8_t>(data.subspan(start, end - start),
                           "the line is longer than 8191 bytes; shorten the entry");
    }
    const std::span<const uint8_t> text = data.subspan(start, end - start);
    line.assign(text.begin(), text.end());
    handle_line<uint8_t>(line, trace);
  }
  return {pos, false};
}

template <typename Unit>
void EntryParser::handle_line(std::span<Unit> line, const TraceSink& trace) {
  // Trailing spaces go; in 8-bit lines LF bytes too.
  size_t n = line.size();
  while (n > 0 && (line[n - 1] == kSpace || (!kWide<Unit> && line[n - 1] == kLf))) --n;
  if (n == 0) return;  // a blank line is skipped
  line = line.first(n);

  if (trace) {
    std::vector<uint8_t> traced;
    traced.reserve(n * sizeof(Unit) + 2);
    append_units<Unit>(traced, line);
    traced.push_back(kCr);
    traced.push_back(kLf);
    trace(traced);
  }
  parse(line);
}

void EntryParser::parse_line(std::span<uint8_t> line) { parse(line); }
void EntryParser::parse_line(std::span<uint16_t> line) { parse(line); }

template <typename Unit>
void EntryParser::parse(std::span<Unit> line) {
  const size_t n = line.size();
  // Every break escape becomes a space and a line feed; the line keeps its length.
  for (size_t i = 0; i + 1 < n; ++i) {
    if (line[i] == kBackslash && line[i + 1] == kLetterN) {
      line[i] = kSpace;
      line[i + 1] = kLf;
      ++i;
    }
  }

  size_t word_start = 0;
  while (word_start < n && line[word_start] == kSpace) ++word_start;
  const size_t tab = std::find(line.begin() + word_start, line.end(), Unit{kTab}) - line.begin();
  if (tab == n) return;  // no TAB: the line carries no entry

  console_.print("\r%d word parsing", static_cast<int>(stores_.entry_count + 1));

  // Further TABs belong to the translation; its trailing spaces are already gone.
  size_t translation_start = tab + 1;
  while (translation_start < n && line[translation_start] == kSpace) ++translation_start;
  size_t word_end = tab;
  while (word_end > word_start && line[word_end - 1] == kSpace) --word_end;

  append_entry<Unit>(line.subspan(word_start, word_end - word_start),
                     line.subspan(translation_start), line);
}

template <typename Unit>
void EntryParser::append_entry(std::span<const Unit> word, std::span<const Unit> translation,
                               std::span<const Unit> line) {
  if constexpr (kWide<Unit>) {
    if (word.size() > kMaxWordUnits) {
      entry_fatal(line, "the word is longer than 126 characters; shorten the word");
    }
  } else {
    if (word.size() > kMaxWordBytes) {
      entry_fatal(line, "the word is longer than 254 bytes; shorten the word");
    }
  }
  const size_t text_bytes = translation.size() * sizeof(Unit);
  if (text_bytes > kMaxTranslationBytes) {
    entry_fatal(line,
                "the translation is longer than 8188 bytes; shorten it or split the entry into "
                "several");
  }
  if (stores_.entry_count >= format::kMaxEntries) {
    entry_fatal(line,
                "the list holds more than 999999 entries, the most a dictionary can hold; split "
                "it into smaller dictionaries");
  }

  // Word record: its length, then the text (UTF-16: and one zero byte).
  stores_.word_offsets.push_back(static_cast<uint32_t>(stores_.words.size()));
  const size_t word_record = kWide<Unit> ? 2 * word.size() + 2 : word.size() + 1;
  stores_.words.push_back(static_cast<uint8_t>(word_record));
  append_units(stores_.words, word);
  if constexpr (kWide<Unit>) stores_.words.push_back(0);

  // Translation record, short or long form.
  if (text_bytes <= kMaxShortTranslation) {
    stores_.translations.push_back(static_cast<uint8_t>(text_bytes + 1));
  } else {
    stores_.translations.push_back(0);
    append_be16(stores_.translations, static_cast<uint16_t>(text_bytes + kLongTranslationHead));
  }
  append_units(stores_.translations, translation);

  ++stores_.entry_count;
}

template <typename Unit>
void EntryParser::entry_fatal(std::span<const Unit> line, const char* problem) {
  if (!name_lines_) {
    report_fatal("%s: %s (\"%s\")\n", list_name_.c_str(), problem, preview(line).c_str());
  }
  report_fatal("%s, line %d: %s (\"%s\")\n", list_name_.c_str(), line_number_, problem,
               preview(line).c_str());
}

}  // namespace lexbuild
