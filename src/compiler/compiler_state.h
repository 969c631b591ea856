// What the compiler's stages hand on to each other during one build.
#pragma once

#include <cstdint>

#include "compiler/text_stores.h"
#include "compiler/word_table.h"

namespace lexbuild {

/// Which optional records this build writes; the header record numbers the
/// present ones.
struct PresenceFlags {
  bool has_about = false;
  bool has_abbr = false;
  bool has_font_words = false;
  bool has_font_trans = false;
  bool has_kbd = false;
};

/// A fresh object is the compiler's state reset for a build.
struct CompilerState {
  /// The entries: both stores and the entry count (filled by parsing).
  TextStores stores;
  /// Built after parsing; record packing fills its nodes' record and slot links.
  WordTable word_table;
  /// Number of words and translations chunk records (W and T) written by
  /// record packing.
  uint32_t words_records = 0;
  uint32_t trans_records = 0;
  PresenceFlags present;
};

}  // namespace lexbuild
