// The TAB splitter: holds every line of a list to a limit on its word (the
// text before the line's first TAB) and on its definition (the rest). With
// cutting on it repairs an over-long word and cuts an over-long definition
// into numbered pieces; with cutting off the first line over a limit ends the
// run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "driver/build_context.h"
#include "driver/line_map.h"
#include "driver/text_changes.h"
#include "intake/current_list.h"
#include "intake/source_locale.h"
#include "platform/file.h"

namespace lexbuild {

/// Limits in characters of the list being split (bytes of an 8-bit list,
/// units of a 16-bit one).
struct SplitLimits {
  size_t word;
  size_t definition;
};

/// 25 and 8000; with setting `unicode` on, 12 and 4000, so that the 16-bit
/// list holds at most 24 and 8000 bytes.
SplitLimits split_limits(int unicode);

/// The line being assembled, the word, marker, TAB and definition together,
/// never holds more than this many bytes.
inline constexpr size_t kSplitLineBufferBytes = 8192;

/// Pieces one definition may be cut into: the marker has room for two digits.
inline constexpr int kMaxPieces = 99;

enum class SplitMode {
  kCut,    // repair and cut
  kCheck,  // the first line over a limit is fatal
};

/// The splitter's core, fed one character, line end or end of input at a
/// time. `Unit` is uint8_t for an 8-bit list and char16_t for a 16-bit one.
template <typename Unit>
class TabSplitter {
 public:
  /// Receives each output line, without its line end.
  using LineSink = std::function<void(std::span<const Unit>)>;

  TabSplitter(SplitLimits limits, SplitMode mode, Console& console, LineSink sink);

  void put(Unit unit);
  /// The same as put() for each of `units` in turn, in bulk where it can be.
  void put_run(std::span<const Unit> units);
  void line_end();
  /// The end of the input: it ends a line that has a TAB; the bytes of a last
  /// line without a TAB and without a line end are dropped.
  void finish();

  /// Number of the source line being read, from 1.
  int line() const { return line_; }

  /// What the splitter changed so far: words cut, definitions cut into
  /// pieces, and the lines that carry no entry (the compiler skips those
  /// without a TAB, the sort drops empty ones).
  const TextChanges& changes() const { return changes_; }

  /// Messages name the source line that `map` gives for the line read.
  void map_lines(const LineMap* map) { map_ = map; }

  /// Refuses the list once it holds more than `max_entries` entries (lines
  /// with a TAB, pieces included), naming `source_name` and the line.
  void limit_entries(uint64_t max_entries, std::string source_name) {
    max_entries_ = max_entries;
    source_name_ = std::move(source_name);
  }

 private:
  enum class Part { kWord, kRestOfWord, kDefinition };

  static constexpr size_t kCapacity = kSplitLineBufferBytes / sizeof(Unit);

  size_t definition_count() const { return buffer_.size() - definition_start_; }
  void append(Unit unit);
  void repair_word();
  void end_word_without_tab();
  void end_definition_line();
  void cut_while_over();
  void write_marker();
  void emit(size_t length);
  void emit_entry(size_t length);
  void count_line_without_entry();
  void reset();
  size_t longest_word() const { return kCapacity - limits_.word - 5; }
  // The line messages name: the user's, where a stage file came between.
  int source_line() const {
    return map_ ? static_cast<int>(map_->source_line(static_cast<uint64_t>(line_))) : line_;
  }

  SplitLimits limits_;
  SplitMode mode_;
  Console& console_;
  LineSink sink_;

  std::vector<Unit> buffer_;
  Part part_ = Part::kWord;
  size_t word_count_ = 0;
  size_t definition_start_ = 0;
  bool truncated_ = false;
  size_t head_length_ = 0;  // of a truncated word
  bool marker_placed_ = false;
  size_t marker_at_ = 0;
  int piece_ = 1;
  int line_ = 1;
  TextChanges changes_;
  uint64_t entries_ = 0;
  uint64_t max_entries_ = UINT64_MAX;
  std::string source_name_;
  const LineMap* map_ = nullptr;
};

extern template class TabSplitter<uint8_t>;
extern template class TabSplitter<char16_t>;

/// Feeds an 8-bit list read as text (platform::TextInput's rules), `block_size`
/// bytes at a time, to `splitter` and finishes it. LF ends a line; so does a
/// CR on its own, while a CR just before a line end is dropped.
void feed_8bit_text(platform::InputFile& file, TabSplitter<uint8_t>& splitter,
                    size_t block_size = size_t{1} << 16);

/// The splitter stage, `csv_cut_out`, on the current list: an 8-bit list read
/// as text, or, with setting `unicode` on and `to_unicode` 0, a list that is
/// already 16-bit. With setting `cutlong` on it writes its `csv_cut_out` stage
/// file, which becomes the current list. With `cutlong` off it only checks;
/// with `keep_copy` it also writes the lines it checked, unchanged, to a
/// stage file that becomes the current list (so that later stages never
/// touch the user's source). With `utf8_locale` the list is UTF-8, converted
/// as it is read into the code page of that locale or, with setting `unicode`
/// on, UTF-16: the stage file is then always written. Returns 1.
int csv_cut_out(BuildContext& context, CurrentList& list, bool keep_copy,
                const SourceLocale* utf8_locale = nullptr);

}  // namespace lexbuild
