// The word store and the translation store: every entry's word and
// translation, one record each, in the order of the sorted list.
//
//   word record:        B (the record's length, 1 to 255), then the word's text.
//                       In UTF-16 mode the text is the word's 2n bytes of
//                       little-endian units and one zero byte: B = 2n + 2.
//   translation record: short (text of at most 254 bytes):
//                         L (the record's length, 1 to 255), then the text
//                       long (text of more than 254 bytes):
//                         0x00, L as a big-endian u16 (text + 3), then the text
//
// Both stores end with one zero byte after their last record. A word record
// never starts with 0, so the zero ends the word store for walkers; a long
// translation record does start with 0, so walkers of the translation store
// count entries instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compiler/byte_order.h"

namespace lexbuild {

/// A word record's length byte holds at most this.
inline constexpr size_t kMaxWordRecord = 255;
/// Longest translation text that still takes the short form.
inline constexpr size_t kMaxShortTranslation = 254;
/// Head of a long translation record: 0x00 and the 16-bit length.
inline constexpr size_t kLongTranslationHead = 3;

struct TextStores {
  std::vector<uint8_t> words;
  std::vector<uint8_t> translations;
  /// Offset of every entry's word record in `words`, so that the word table
  /// finds any entry's word without walking the store.
  std::vector<uint32_t> word_offsets;
  uint32_t entry_count = 0;

  /// Ends both stores with their zero byte (the whole store when no entry
  /// was stored).
  void close() {
    words.push_back(0);
    translations.push_back(0);
  }

  /// The word record of entry `entry` (length byte included).
  std::span<const uint8_t> word_record(uint32_t entry) const {
    const uint32_t offset = word_offsets[entry];
    return {words.data() + offset, words[offset]};
  }
};

/// Length of the translation record that starts at `record`, in either form.
inline size_t translation_record_length(const uint8_t* record) {
  return record[0] != 0 ? record[0] : get_be16(record + 1);
}

}  // namespace lexbuild
