// The CSV scanner: a three-state machine over single bytes that turns
// comma-separated records into lines of the intermediate list.
//
//   one field            -> field 1, TAB, one space, LF
//   two fields           -> field 1, TAB, field 2, LF
//   n fields (n >= 3)    -> field 1, TAB, field 2, \n, field 3, ..., \n, field n, LF
//
// where \n is the break escape (backslash, n). A line break inside a quoted
// field is written as the break escape too, so the output holds no LF but at
// the end of a record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/console.h"
#include "driver/line_map.h"

namespace lexbuild {

/// The 13 characters of a first line that carries directives; the rest of
/// such a line is not a record.
inline constexpr std::string_view kHeaderMarker = "#@!Velmora!@#";

class CsvScanner {
 public:
  /// `out` receives the output lines (LF line ends); `console` receives the
  /// empty line echoed for each line end met at the start of a field.
  CsvScanner(std::string& out, Console& console) : out_(out), console_(console) {}

  /// Has `map` told, for each output line, the source line its record
  /// starts at.
  void map_lines(LineMap* map) { map_ = map; }

  /// Scans the next byte of the source (as read in text mode).
  void feed(uint8_t byte);
  void feed(std::string_view bytes) {
    for (char c : bytes) feed(static_cast<uint8_t>(c));
  }
  /// Ends the source: completes a record still open. Fatal when a quoted
  /// field is still open.
  void finish();

  /// Records ended by an unquoted line end, plus one.
  int line() const { return line_; }

 private:
  enum class State { kFieldStart, kMarker, kInField, kSkipLine };

  void field_start(uint8_t byte);
  void in_field(uint8_t byte);
  void start_unquoted_field(uint8_t byte);
  void end_record();
  void write(uint8_t byte) {
    if (byte != 0) out_.push_back(static_cast<char>(byte));  // zero bytes are dropped
  }
  [[noreturn]] void syntax_error() const;

  std::string& out_;
  Console& console_;
  State state_ = State::kFieldStart;
  int fields_ = 0;           // fields started in the current record
  bool quoted_ = false;      // inside the quotes of the current field
  bool quote_seen_ = false;  // a quote in a quoted field, waiting to see if a second follows
  size_t marker_matched_ = 0;
  int line_ = 1;
  LineMap* map_ = nullptr;
  uint64_t source_line_ = 1;   // the line of the source being read
  uint64_t record_start_ = 1;  // where the current record began
};

}  // namespace lexbuild
