// Arbitrary bytes as a CSV source, run through the whole reader stage: the
// first-line directives and the scanner, from the source file to the
// "csv_out" stage file. The stage file must hold exactly what the scanner
// makes of the same bytes in memory, stored as text; every line of it must
// carry a TAB and no CR; the directive files must hold their values, and a
// refused source must be refused by both.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "driver/build_context.h"
#include "driver/console.h"
#include "driver/log.h"
#include "driver/report.h"
#include "driver/settings.h"
#include "fuzz_support.h"
#include "intake/csv_header.h"
#include "intake/csv_reader.h"
#include "intake/csv_scanner.h"
#include "platform/file.h"

using namespace lexbuild;

namespace {

// What the scanner makes of the source read as text; nothing when it refuses it.
std::optional<std::string> scan_in_memory(const std::vector<uint8_t>& text, int& lines) {
  std::string out;
  StringConsole console;
  CsvScanner scanner(out, console);
  try {
    for (uint8_t c : text) scanner.feed(c);
    scanner.finish();
  } catch (const FatalError& e) {
    FUZZ_CHECK(e.exit_status() == 1);
    FUZZ_CHECK(e.output().starts_with("lexbuild error: Error parsing at line: "));
    return std::nullopt;
  }
  lines = scanner.line();
  return out;
}

void check_lines(const std::string& out, int scanner_line) {
  FUZZ_CHECK(out.find('\r') == std::string::npos);
  FUZZ_CHECK(out.find('\0') == std::string::npos);
  size_t start = 0;
  int records = 0;
  for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    FUZZ_CHECK(out.find('\t', start) < end);  // every record has its word and a TAB
    ++records;
  }
  FUZZ_CHECK(records + 1 == scanner_line);
}

// The first line as the directives see it: up to its LF, at most 2047
// characters, and up to a zero byte.
std::string header_line(const std::vector<uint8_t>& text) {
  std::string line;
  for (size_t i = 0; i < text.size() && i < kHeaderLineCapacity && text[i] != '\n'; ++i) {
    line.push_back(static_cast<char>(text[i]));
  }
  return line.substr(0, line.find('\0'));
}

void check_directive_file(const std::string& path, const std::optional<std::string>& value,
                          char line_break) {
  std::vector<uint8_t> stored;
  const bool exists = platform::read_file(path, stored);
  FUZZ_CHECK(exists == value.has_value());
  if (!value) return;
  const std::string text = directive_file_text(*value, line_break);
  FUZZ_CHECK(stored == fuzz::text_mode_written(
                           std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::clear_scratch_folder();
  const std::string source = fuzz::scratch_path("source.csv");
  const std::span<const uint8_t> bytes(data, size);
  FUZZ_CHECK(platform::write_file(source, bytes));

  const std::vector<uint8_t> text = fuzz::text_mode_read(bytes);
  int scanner_line = 0;
  const std::optional<std::string> expected = scan_in_memory(text, scanner_line);
  if (expected) check_lines(*expected, scanner_line);

  Settings settings = init_settings_with_work_folder(fuzz::scratch_folder());
  settings.infile = source;
  StringConsole console;
  Log log;
  BuildContext context(settings, console, log);
  std::string stage;
  try {
    stage = csv_out(context);
  } catch (const FatalError& e) {
    FUZZ_CHECK(!expected);  // refused by the stage, so by the scanner too
    FUZZ_CHECK(e.exit_status() == 1);
    return 0;
  }
  FUZZ_CHECK(expected.has_value());
  FUZZ_CHECK(settings.infile == stage);

  std::vector<uint8_t> stored;
  FUZZ_CHECK(platform::read_file(stage, stored));
  FUZZ_CHECK(stored == fuzz::text_mode_written(std::span(
                           reinterpret_cast<const uint8_t*>(expected->data()), expected->size())));

  const std::string line = header_line(text);
  check_directive_file(settings.abbrfile, directive_value(line, "ABBREVIATION="), '\n');
  check_directive_file(settings.aboutfile, directive_value(line, "ABOUT="), ' ');
  if (const auto id = directive_value(line, "ID="); id && !id->empty()) {
    FUZZ_CHECK(settings.id == id->substr(0, kIdDirectiveLimit));
  } else {  // an empty ID=[] keeps the default name
    FUZZ_CHECK(settings.id == "none");
  }
  return 0;
}
