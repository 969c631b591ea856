// Looking a word up the way the handheld reader does: down the word table by
// the word's lower-cased leading bytes, then through the chunks that the
// nodes found point at.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "lexdump/dictionary.h"

namespace lexbuild::dump {

using LowerCase = std::array<uint8_t, 256>;

/// The word table's nodes by key byte. Only neighbouring entries share a
/// node, so a letter that comes back after other letters (an "å" sorted
/// among the a-words) opens a second node with the same key: a lookup
/// follows every node whose key matches, not the first one.
class TableIndex {
 public:
  explicit TableIndex(const WordTable& table);

  const WordTable& table() const { return table_; }
  /// The children of node `parent` (-1: the level-1 nodes) whose key byte at
  /// their level is `key`, in table order (as pairs of key and node).
  std::span<const std::pair<uint8_t, int>> matching(int parent, uint8_t key) const;

 private:
  const WordTable& table_;
  // Per parent (index 0: the level-1 nodes, n + 1: node n's children), the
  // children as (key byte at their level, node), sorted.
  std::vector<std::vector<std::pair<uint8_t, int>>> children_;
};

/// The nodes whose entries a lookup of `text` searches, in table order; their
/// entry ranges do not overlap. `text` is the word's stored text as the table
/// saw it (a UTF-16 word with the low byte of its zero terminator). A word
/// that has no byte at a level joins whichever node was open, so past its end
/// the whole node above is searched. With `first_only`, only the first
/// matching node at each level is followed, as a simpler reader would.
std::vector<int> searched_nodes(const TableIndex& index, std::span<const uint8_t> text,
                                const LowerCase& lower, bool first_only = false);

/// The text the word table saw for a stored word.
std::vector<uint8_t> table_text(const Dictionary& d, std::span<const uint8_t> word);

struct LookupHit {
  std::vector<uint8_t> word;  // as stored: the word itself, or one of its pieces
  std::vector<uint8_t> translation;
  int piece = 0;  // 0: the whole word; n: the piece marked "[n]"
};

struct LookupResult {
  std::vector<LookupHit> hits;  // one per entry found
  std::string error;            // the dictionary could not be read along the way
};

/// Finds every entry whose word is `word` (stored form: 8-bit bytes or
/// UTF-16LE units). `lower` is the one-byte lower-case mapping the table keys
/// were made with. A word that differs only in case matches when no entry
/// matches exactly; a word stored only as numbered pieces (a long definition
/// cut as "word [1]", "word [2]", ...) gives its pieces in order.
LookupResult lookup_word(const Dictionary& dictionary, const std::vector<uint8_t>& word,
                         const LowerCase& lower);

}  // namespace lexbuild::dump
