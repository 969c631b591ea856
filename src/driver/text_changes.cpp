#include "driver/text_changes.h"

#include <string>

#include "driver/report.h"

namespace lexbuild {
namespace {

// "1 word was cut", "2 words were cut".
void add_count(std::string& text, uint64_t count, const char* one, const char* many,
               const char* what) {
  if (count == 0) return;
  if (!text.empty()) text += ", ";
  text += std::to_string(count) + " " + (count == 1 ? one : many) + " " + what;
}

}  // namespace

TextChanges& TextChanges::operator+=(const TextChanges& other) {
  words_cut += other.words_cut;
  definitions_cut += other.definitions_cut;
  lines_without_tab += other.lines_without_tab;
  blank_lines += other.blank_lines;
  return *this;
}

void report_text_changes(Console& console, const TextChanges& changes, int unicode) {
  std::string text;
  add_count(text, changes.words_cut, "word was", "words were",
            unicode ? "cut to 12 characters" : "cut to 25 bytes");
  add_count(text, changes.definitions_cut, "definition was", "definitions were",
            "cut into numbered pieces");
  add_count(text, changes.lines_without_tab, "line without a TAB was", "lines without a TAB were",
            "skipped");
  add_count(text, changes.blank_lines, "empty or blank line was", "empty or blank lines were",
            "dropped");
  if (!text.empty()) report_warning(console, "the list was changed: %s\n", text.c_str());
}

}  // namespace lexbuild
