#include "intake/csv_scanner.h"

#include "driver/report.h"

namespace lexbuild {
namespace {

constexpr uint8_t kQuote = '"';
constexpr char kBreakEscape[] = "\\n";

}  // namespace

void CsvScanner::syntax_error() const { report_fatal("Error parsing at line: %d", line_); }

void CsvScanner::end_record() {
  if (map_ != nullptr) map_->add(static_cast<uint64_t>(line_), record_start_);
  if (fields_ == 1) out_ += "\t ";
  out_ += '\n';
  fields_ = 0;
  ++line_;
  state_ = State::kFieldStart;
}

void CsvScanner::start_unquoted_field(uint8_t byte) {
  quoted_ = false;
  write(byte);
  ++fields_;
  state_ = State::kInField;
}

void CsvScanner::field_start(uint8_t byte) {
  switch (byte) {
    case '#':
      // Possibly the header marker; decided when it completes or breaks off.
      marker_matched_ = 1;
      state_ = State::kMarker;
      return;
    case '\n':
      // A blank line shows on the console; a record whose last field ended
      // with a comma goes on in the next line.
      console_.write("\n");
      return;
    case kQuote:
      quoted_ = true;
      quote_seen_ = false;
      ++fields_;
      state_ = State::kInField;
      return;
    case ',':
      out_ += fields_ == 0 ? "\t" : kBreakEscape;
      ++fields_;
      return;
    default:
      start_unquoted_field(byte);
  }
}

void CsvScanner::in_field(uint8_t byte) {
  if (quoted_) {
    if (quote_seen_) {
      quote_seen_ = false;
      if (byte == kQuote) {  // a doubled quote stands for one
        write(kQuote);
        return;
      }
      quoted_ = false;  // the quote closed the quoted part; this byte follows it
    } else if (byte == kQuote) {
      quote_seen_ = true;
      return;
    } else {
      if (byte == '\n') {
        out_ += kBreakEscape;  // the line counter stays
      } else {
        write(byte);
      }
      return;
    }
  }
  // Not quoted (or just after the closing quote).
  switch (byte) {
    case '\n':
      end_record();
      return;
    case ',':
      out_ += fields_ >= 2 ? kBreakEscape : "\t";
      state_ = State::kFieldStart;
      return;
    case kQuote:
      syntax_error();
    default:
      write(byte);
  }
}

void CsvScanner::feed(uint8_t byte) {
  // A CR that is not part of a CR LF pair ends a line too (files saved with
  // CR line ends): the intermediate list cannot hold a CR inside a line,
  // since the compiler ends a line at every CR.
  if (byte == '\r') byte = '\n';
  if (state_ == State::kFieldStart && fields_ == 0 && byte != '\n') record_start_ = source_line_;
  if (byte == '\n') ++source_line_;  // (the record that it ends began before)
  switch (state_) {
    case State::kFieldStart:
      field_start(byte);
      return;
    case State::kMarker:
      if (byte == static_cast<uint8_t>(kHeaderMarker[marker_matched_])) {
        if (++marker_matched_ == kHeaderMarker.size()) state_ = State::kSkipLine;
        return;
      }
      // The marker broke off: its first character started an unquoted field
      // and the characters matched so far are ordinary text of that field.
      start_unquoted_field('#');
      for (size_t i = 1; i < marker_matched_; ++i) write(kHeaderMarker[i]);
      in_field(byte);
      return;
    case State::kInField:
      in_field(byte);
      return;
    case State::kSkipLine:
      if (byte == '\n') state_ = State::kFieldStart;  // not written; the counter stays
      return;
  }
}

void CsvScanner::finish() {
  if (state_ == State::kMarker) {
    start_unquoted_field('#');
    for (size_t i = 1; i < marker_matched_; ++i) write(kHeaderMarker[i]);
  }
  if (state_ != State::kInField) return;
  if (quoted_ && !quote_seen_) syntax_error();  // a quoted field still open
  end_record();
}

}  // namespace lexbuild
