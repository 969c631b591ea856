// What a build changed of the author's text on its way into the dictionary,
// told in one line at the end, so that cut words and skipped lines are never
// a surprise found later in the reader.
#pragma once

#include <cstdint>

#include "driver/console.h"

namespace lexbuild {

struct TextChanges {
  uint64_t words_cut = 0;          // words cut to the word limit
  uint64_t definitions_cut = 0;    // definitions cut into numbered pieces
  uint64_t lines_without_tab = 0;  // lines skipped for want of a TAB
  uint64_t blank_lines = 0;        // empty lines and lines of spaces, dropped

  TextChanges& operator+=(const TextChanges& other);
};

/// One warning line naming the kinds of change that occurred, with their
/// counts; nothing when there was none. `unicode` chooses the limit named.
void report_text_changes(Console& console, const TextChanges& changes, int unicode);

}  // namespace lexbuild
