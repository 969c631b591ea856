// Looking a word up the way the handheld reader does: down the word table by
// the word's lower-cased leading bytes, then through the chunks that the
// chosen node points at.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "lexdump/dictionary.h"

namespace lexbuild::dump {

struct LookupResult {
  std::vector<std::vector<uint8_t>> translations;  // one per entry with the word
  std::string error;                               // the dictionary could not be read along the way
};

/// Finds every entry whose word is `word` (stored form: 8-bit bytes or
/// UTF-16LE units). `lower` is the one-byte lower-case mapping the table keys
/// were made with; a word that differs only in case matches when no entry
/// matches exactly.
LookupResult lookup_word(const Dictionary& dictionary, const std::vector<uint8_t>& word,
                         const std::array<uint8_t, 256>& lower);

}  // namespace lexbuild::dump
