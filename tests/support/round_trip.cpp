#include "support/round_trip.h"

#include "platform/unicode_text.h"

namespace lexbuild::testing {
namespace {

std::string escape_line_feeds(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string as_text(std::string stored, bool unicode, bool is_word) {
  if (!unicode) return stored;
  if (is_word && !stored.empty() && stored.back() == '\0') stored.pop_back();
  return platform::utf16le_to_utf8(
      {reinterpret_cast<const uint8_t*>(stored.data()), stored.size()});
}

}  // namespace

ProgramResult run_lexdump(const std::vector<std::string>& args) {
  return run_program(LEXDUMP_BINARY, args, {});
}

std::string dump_line(const DecodedEntry& entry, bool unicode) {
  return escape_line_feeds(as_text(entry.word, unicode, true)) + "\t" +
         escape_line_feeds(as_text(entry.translation, unicode, false));
}

::testing::AssertionResult round_trips_lines(const std::string& database,
                                             const std::vector<std::string>& expected_lines) {
  const ProgramResult verify = run_lexdump({"verify", database});
  if (verify.status != 0) {
    return ::testing::AssertionFailure() << "lexdump verify " << database << " ended with "
                                         << verify.status << ":\n"
                                         << verify.out << verify.err;
  }
  const ProgramResult entries = run_lexdump({"entries", database});
  if (entries.status != 0) {
    return ::testing::AssertionFailure() << "lexdump entries ended with " << entries.status << ": "
                                         << entries.err;
  }
  std::vector<std::string> lines;
  for (size_t start = 0; start < entries.out.size();) {
    const size_t end = entries.out.find('\n', start);
    if (end == std::string::npos) {
      return ::testing::AssertionFailure() << "the last line of lexdump entries has no line end";
    }
    lines.push_back(entries.out.substr(start, end - start));
    start = end + 1;
  }
  if (lines.size() != expected_lines.size()) {
    return ::testing::AssertionFailure() << "lexdump entries gave " << lines.size()
                                         << " entries, expected " << expected_lines.size();
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] != expected_lines[i]) {
      return ::testing::AssertionFailure() << "entry " << i << " is \"" << lines[i]
                                           << "\", expected \"" << expected_lines[i] << "\"";
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult round_trips(const std::string& database,
                                       const std::vector<DecodedEntry>& expected, bool unicode) {
  std::vector<std::string> lines;
  for (const DecodedEntry& e : expected) lines.push_back(dump_line(e, unicode));
  return round_trips_lines(database, lines);
}

}  // namespace lexbuild::testing
