// Reads a built dictionary database back into its entries through the
// inspector's reader, after checking every rule that `lexdump verify` checks.
// For round trips in tests: decode a build and compare it with the expected
// entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/pdb_builder.h"

namespace lexbuild::testing {

struct DecodedEntry {
  std::string word;         // the word record's text (UTF-16: with its zero byte)
  std::string translation;  // the translation record's text

  bool operator==(const DecodedEntry&) const = default;
};

struct DecodedDictionary {
  PdbContents pdb;
  uint32_t items_count = 0;
  uint32_t words_records = 0;  // W
  uint32_t trans_records = 0;  // T
  std::vector<DecodedEntry> entries;
  /// Number of chunks of each kind.
  size_t words_chunks = 0;
  size_t trans_chunks = 0;
};

/// Decodes `image`; throws std::runtime_error naming the first broken rule.
DecodedDictionary read_dictionary(const std::vector<uint8_t>& image);

}  // namespace lexbuild::testing
