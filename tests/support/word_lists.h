// Seeded word lists for round trips through a build, with the entries the
// parser should make of them: spaces around words and translations go, and
// every break escape (backslash, n) becomes a space and a line feed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/database_reader.h"

namespace lexbuild::testing {

struct WordListOptions {
  size_t entries = 1000;
  /// Letters that words start with: few letters make large groups that the
  /// word table divides.
  std::string initials = "abcdefghijklmnopqrstuvwxyz";
  /// Longest translation, in bytes (some reach it, most are far shorter).
  size_t longest_translation = 1200;
  /// Sprinkle spaces around words and translations, break escapes, blank
  /// lines and lines without a TAB.
  bool decorate = true;
  /// Distinct words of small letters only, with no space before them, so
  /// that any sort orders them as their bytes and the order is certain.
  bool plain_words = false;
};

struct WordList {
  std::string text;                    // the sorted list, CR LF line ends, 8-bit
  std::string shuffled;                // the same lines in no order, for the intake to sort
  std::vector<DecodedEntry> expected;  // the entries a build stores, in order
};

/// A list sorted by its words' bytes.
WordList make_word_list(uint32_t seed, const WordListOptions& options);

/// The 16-bit form of the entries as a build in UTF-16 mode stores them:
/// each byte becomes one unit, and words carry their trailing zero byte.
std::vector<DecodedEntry> widened(const std::vector<DecodedEntry>& entries);

}  // namespace lexbuild::testing
