// Reading the sorted list into the text stores: one entry per line of word,
// TAB and translation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "compiler/text_stores.h"
#include "driver/console.h"

namespace lexbuild {

/// A line holds at most 8191 bytes (UTF-16: 4095 units) before its line end.
inline constexpr size_t kMaxLineBytes = 8191;
inline constexpr size_t kMaxLineUnits = 4095;
/// Longest word: its record length byte must fit (UTF-16: 2n + 2 <= 255).
inline constexpr size_t kMaxWordBytes = 254;
inline constexpr size_t kMaxWordUnits = 126;

/// Receives every non-blank line as it is traced: its bytes (UTF-16: its
/// units, two bytes each, little-endian), without a line end.
using TraceSink = std::function<void(std::span<const uint8_t>)>;

/// Fills the span it is given with the list's next bytes and returns how
/// many it wrote: fewer than asked only at the end of the list.
using ListReader = std::function<size_t(std::span<uint8_t>)>;

/// How much of the list parse_stream() holds at once.
inline constexpr size_t kListBlockSize = size_t{1} << 20;

class EntryParser {
 public:
  /// `list_name` names the list in error messages, with the number of the
  /// line unless `name_lines` is false (the sorted list's lines are not the
  /// lines of the source that the user knows; the entry's text is quoted).
  EntryParser(bool unicode, Console& console, TextStores& stores, std::string list_name,
              bool name_lines = true)
      : unicode_(unicode),
        console_(console),
        stores_(stores),
        list_name_(std::move(list_name)),
        name_lines_(name_lines) {}

  /// Reads lines from `data` until it is used up or an empty line is met,
  /// tracing and parsing every line that is not blank. 8-bit lines end at a
  /// CR (an LF after it is consumed too); UTF-16 lines end at the unit 0x0A0D.
  /// The stores are not closed.
  void parse_list(std::span<const uint8_t> data, const TraceSink& trace);

  /// Reads the list as parse_list() does, from `read` a block of
  /// `block_size` bytes at a time, so that a list of tens of megabytes is
  /// never held whole beside the stores it becomes.
  void parse_stream(const ListReader& read, const TraceSink& trace,
                    size_t block_size = kListBlockSize);

  /// Parses one line (without its line end), changing it in place; appends
  /// at most one entry. Fatal when the entry does not fit its records.
  void parse_line(std::span<uint8_t> line);
  void parse_line(std::span<uint16_t> line);

 private:
  struct BlockProgress {
    size_t consumed = 0;  // bytes of whole lines read
    bool ended = false;   // an empty line ended the list
  };
  /// Reads the whole lines of `data`; unless `at_end`, a line that may go
  /// on beyond `data` is left for the next block.
  BlockProgress parse_block(std::span<const uint8_t> data, bool at_end, const TraceSink& trace);

  template <typename Unit>
  void handle_line(std::span<Unit> line, const TraceSink& trace);
  template <typename Unit>
  void parse(std::span<Unit> line);
  template <typename Unit>
  void append_entry(std::span<const Unit> word, std::span<const Unit> translation,
                    std::span<const Unit> line);
  template <typename Unit>
  [[noreturn]] void entry_fatal(std::span<const Unit> line, const char* problem);

  bool unicode_;
  Console& console_;
  TextStores& stores_;
  std::string list_name_;
  bool name_lines_ = true;
  int line_number_ = 0;
};

}  // namespace lexbuild
