#include "intake/tab_splitter.h"

#include <algorithm>
#include <array>

#include "driver/report.h"

namespace lexbuild {
namespace {

constexpr char16_t kTab = 0x09;
constexpr char16_t kSpace = 0x20;

// The break escape, backslash and n, twice: it separates an over-long word
// from its definition when the word is moved into it.
constexpr std::array<char16_t, 4> kTwoBreakEscapes = {u'\\', u'n', u'\\', u'n'};

// The refusals name the 8-bit limits whatever the list's limits are: the
// limits of a 16-bit list stand for the same stored sizes once converted.
constexpr int kReportedWordLimit = 25;
constexpr int kReportedDefinitionLimit = 8000;

// Four characters each, so that a marker is rewritten in place.
constexpr size_t kMarkerLength = 4;

// A 16-bit list is never cut between the two units of a surrogate pair.
template <typename Unit>
bool is_high_surrogate(Unit unit) {
  if constexpr (sizeof(Unit) == 1) {
    return false;
  } else {
    return unit >= 0xD800 && unit <= 0xDBFF;
  }
}

}  // namespace

SplitLimits split_limits(int unicode) {
  return unicode ? SplitLimits{12, 4000} : SplitLimits{25, 8000};
}

template <typename Unit>
TabSplitter<Unit>::TabSplitter(SplitLimits limits, SplitMode mode, Console& console, LineSink sink)
    : limits_(limits), mode_(mode), console_(console), sink_(std::move(sink)) {
  buffer_.reserve(kCapacity);
}

template <typename Unit>
void TabSplitter<Unit>::append(Unit unit) {
  // Only the rest of an over-long word can run the buffer full (everything
  // else is bounded by the limits); it needs room for the escapes as well.
  if (buffer_.size() + kTwoBreakEscapes.size() >= kCapacity) {
    report_fatal("word length is more than %zu bytes, line %d\n", longest_word(), source_line());
  }
  buffer_.push_back(unit);
}

template <typename Unit>
void TabSplitter<Unit>::put(Unit unit) {
  switch (part_) {
    case Part::kWord:
      // A word of exactly the limit, followed by its TAB, passes.
      if (word_count_ > limits_.word) {
        repair_word();
        put(unit);
        return;
      }
      append(unit);
      if (unit == kTab) {
        part_ = Part::kDefinition;
        marker_at_ = buffer_.size() - 1;
        definition_start_ = buffer_.size();
      } else {
        ++word_count_;
      }
      return;
    case Part::kRestOfWord:
      if (unit == kTab) {
        for (char16_t c : kTwoBreakEscapes) buffer_.push_back(static_cast<Unit>(c));
        part_ = Part::kDefinition;
      } else {
        append(unit);
      }
      return;
    case Part::kDefinition:
      if (definition_count() > limits_.definition) cut_while_over();
      append(unit);
      return;
  }
}

template <typename Unit>
void TabSplitter<Unit>::put_run(std::span<const Unit> units) {
  size_t i = 0;
  while (i < units.size()) {
    if (part_ == Part::kDefinition) {
      // Put one at a time, the rest would neither bring the definition over
      // its limit before the last of them nor fill the buffer: append it whole.
      const size_t rest = units.size() - i;
      if (definition_count() + rest <= limits_.definition + 1 &&
          buffer_.size() + rest + kTwoBreakEscapes.size() <= kCapacity) {
        buffer_.insert(buffer_.end(), units.begin() + static_cast<ptrdiff_t>(i), units.end());
        return;
      }
    }
    put(units[i++]);
  }
}

template <typename Unit>
void TabSplitter<Unit>::line_end() {
  switch (part_) {
    case Part::kWord:
      if (word_count_ > limits_.word) {
        repair_word();
        end_word_without_tab();
        return;
      }
      // A short line without a TAB passes unchanged; the compiler skips it.
      count_line_without_entry();
      emit(buffer_.size());
      reset();
      ++line_;
      return;
    case Part::kRestOfWord:
      end_word_without_tab();
      return;
    case Part::kDefinition:
      end_definition_line();
      return;
  }
}

template <typename Unit>
void TabSplitter<Unit>::finish() {
  if (part_ == Part::kWord && word_count_ <= limits_.word) {
    if (!buffer_.empty()) count_line_without_entry();
    reset();
    return;
  }
  line_end();
}

// The entry's word becomes the first word-limit characters; the whole word
// starts the definition, and what follows up to the TAB still belongs to it.
template <typename Unit>
void TabSplitter<Unit>::repair_word() {
  if (mode_ == SplitMode::kCheck) {
    report_fatal("word length is more than %d bytes, line %d\n", kReportedWordLimit, source_line());
  }
  size_t head_length = limits_.word;
  if (is_high_surrogate(buffer_[head_length - 1])) --head_length;
  head_length_ = head_length;
  std::vector<Unit> head(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(head_length));
  head.push_back(static_cast<Unit>(kTab));
  buffer_.insert(buffer_.begin(), head.begin(), head.end());
  truncated_ = true;
  ++changes_.words_cut;
  definition_start_ = head.size();
  part_ = Part::kRestOfWord;
}

// A line end before any TAB ends the long word's line all the same: the line
// becomes an entry whose definition is the whole line and the escapes.
template <typename Unit>
void TabSplitter<Unit>::end_word_without_tab() {
  report_warning(console_, "(WARNING) line %d has no tab\n", source_line());
  for (char16_t c : kTwoBreakEscapes) buffer_.push_back(static_cast<Unit>(c));
  part_ = Part::kDefinition;
  end_definition_line();
}

template <typename Unit>
void TabSplitter<Unit>::end_definition_line() {
  if (definition_count() > limits_.definition) cut_while_over();
  emit_entry(buffer_.size());
  reset();
  ++line_;
}

// Writes pieces of the definition until what is left fits the limit. Each
// piece ends after the last space within the limit, or at the limit when
// there is no space there; its word carries the piece marker.
template <typename Unit>
void TabSplitter<Unit>::cut_while_over() {
  if (mode_ == SplitMode::kCheck) {
    report_fatal("word definition length is more than %d bytes, line %d\n",
                 kReportedDefinitionLimit, source_line());
  }
  while (definition_count() > limits_.definition) {
    if (!marker_placed_) {
      if (truncated_) {
        // The truncated word keeps its length: the marker takes its end. A
        // pair whose second unit it would take goes whole.
        marker_at_ = head_length_ - kMarkerLength;
        if (is_high_surrogate(buffer_[marker_at_ - 1])) {
          buffer_.erase(buffer_.begin() + static_cast<ptrdiff_t>(marker_at_ - 1));
          --marker_at_;
          --definition_start_;
        }
      } else {
        buffer_.insert(buffer_.begin() + static_cast<ptrdiff_t>(marker_at_), kMarkerLength, Unit{});
        definition_start_ += kMarkerLength;
      }
      marker_placed_ = true;
      ++changes_.definitions_cut;
      write_marker();
    }
    const auto first = buffer_.begin() + static_cast<ptrdiff_t>(definition_start_);
    const auto last = first + static_cast<ptrdiff_t>(limits_.definition);
    const auto space = std::find(std::make_reverse_iterator(last),
                                 std::make_reverse_iterator(first), static_cast<Unit>(kSpace));
    size_t piece =
        space.base() != first ? static_cast<size_t>(space.base() - first) : limits_.definition;
    if (space.base() == first && is_high_surrogate(first[static_cast<ptrdiff_t>(piece) - 1])) {
      --piece;
    }
    emit_entry(definition_start_ + piece);
    buffer_.erase(first, first + static_cast<ptrdiff_t>(piece));
    if (++piece_ > kMaxPieces) {
      report_fatal("word definition is too long to cut into %d pieces, line %d\n", kMaxPieces,
                   source_line());
    }
    write_marker();
  }
}

// " [1]" to " [9]", then "[10]" to "[99]".
template <typename Unit>
void TabSplitter<Unit>::write_marker() {
  std::array<char16_t, kMarkerLength> marker;
  if (piece_ < 10) {
    marker = {u' ', u'[', static_cast<char16_t>(u'0' + piece_), u']'};
  } else {
    marker = {u'[', static_cast<char16_t>(u'0' + piece_ / 10),
              static_cast<char16_t>(u'0' + piece_ % 10), u']'};
  }
  std::copy(marker.begin(), marker.end(), buffer_.begin() + static_cast<ptrdiff_t>(marker_at_));
}

template <typename Unit>
void TabSplitter<Unit>::emit(size_t length) {
  sink_(std::span<const Unit>(buffer_.data(), length));
}

template <typename Unit>
void TabSplitter<Unit>::emit_entry(size_t length) {
  if (++entries_ > max_entries_) {
    report_fatal(
        "%s, line %d: the list holds more than %llu entries, the most a dictionary can hold; "
        "split it into smaller dictionaries\n",
        source_name_.c_str(), source_line(), static_cast<unsigned long long>(max_entries_));
  }
  emit(length);
}

// A line of spaces, or none, is blank; the others lack their TAB.
template <typename Unit>
void TabSplitter<Unit>::count_line_without_entry() {
  const bool blank = std::all_of(buffer_.begin(), buffer_.end(),
                                 [](Unit u) { return u == static_cast<Unit>(kSpace); });
  ++(blank ? changes_.blank_lines : changes_.lines_without_tab);
}

template <typename Unit>
void TabSplitter<Unit>::reset() {
  buffer_.clear();
  part_ = Part::kWord;
  word_count_ = 0;
  definition_start_ = 0;
  truncated_ = false;
  head_length_ = 0;
  marker_placed_ = false;
  marker_at_ = 0;
  piece_ = 1;
}

template class TabSplitter<uint8_t>;
template class TabSplitter<char16_t>;

}  // namespace lexbuild
