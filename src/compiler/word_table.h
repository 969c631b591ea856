// The word table: the dictionary's index of words by their leading bytes.
//
// Level 1 groups consecutive entries that share their first lower-cased
// byte; a group of more than 1000 entries is divided by the next byte, down
// to four levels. Nodes name entries by index, never by position in a store.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "compiler/format.h"
#include "compiler/text_stores.h"
#include "driver/build_context.h"

namespace lexbuild {

/// Capacity of each level's node table.
inline constexpr std::array<size_t, format::kTableLevels> kLevelCapacity = {24000, 24000, 500000,
                                                                            24000};
/// A node counts at most this many entries (its count is stored in 16 bits).
inline constexpr uint32_t kMaxNodeEntries = 65535;
/// "rec_tab.bin" is one record, whose size is taken in 16 bits: 2 + 16 x N
/// bytes leave room for at most 4095 nodes in all four levels together.
inline constexpr size_t kMaxTableNodes =
    (format::kMaxRecordSize - 2) / format::kTableNodeSize;  // 4095
static_assert(kMaxTableNodes == 4095);
// The record's limit binds long before any level's own table is full.
static_assert(kMaxTableNodes < kLevelCapacity[0] && kMaxTableNodes < kLevelCapacity[1] &&
              kMaxTableNodes < kLevelCapacity[2] && kMaxTableNodes < kLevelCapacity[3]);

struct PrefixNode {
  /// Lower-cased leading bytes; bytes beyond the node's level, and where
  /// the word that opened the node has no byte, are 0.
  std::array<uint8_t, 4> key{};
  /// Number of consecutive entries under the node (at most 65535).
  uint32_t num = 0;
  /// Index of the node's first entry, counted from 0.
  uint32_t from = 0;
  /// The node's first child in the next level's table, when `childs` > 0.
  uint32_t first_child = 0;
  uint32_t childs = 0;
  /// Where record packing put the chunk holding entry `from`: the chunk
  /// record's number within its kind and the chunk's slot (0 to 9) in it.
  uint16_t words_record = 0;
  uint16_t trans_record = 0;
  uint8_t words_slot = 0;
  uint8_t trans_slot = 0;
};

struct WordTable {
  /// levels[0] is level 1. Within a level nodes stand in entry order, and
  /// the children of a node are contiguous in the next level.
  std::array<std::vector<PrefixNode>, format::kTableLevels> levels;

  size_t node_count() const {
    size_t n = 0;
    for (const auto& level : levels) n += level.size();
    return n;
  }

  /// Calls visit(level, node) for every node in depth-first order: a
  /// level-1 node, then each of its children followed by their own.
  template <typename Visit>
  void for_each_depth_first(Visit&& visit) const {
    for (const PrefixNode& node : levels[0]) visit_subtree(1, node, visit);
  }

 private:
  template <typename Visit>
  void visit_subtree(int level, const PrefixNode& node, Visit& visit) const {
    visit(level, node);
    if (node.childs == 0 || level == format::kTableLevels) return;
    const auto& children = levels[level];
    for (uint32_t c = 0; c < node.childs; ++c) {
      visit_subtree(level + 1, children[node.first_child + c], visit);
    }
  }
};

/// Builds the table over the word store with the locale's one-byte
/// lower-case mapping and prints "itemsCount = %d\n". Fatal when the table
/// would need more than 4095 nodes or a node more than 65535 entries.
WordTable build_word_table(const TextStores& stores, const std::array<uint8_t, 256>& lower_case,
                           Console& console);

/// The "_tableDebug.txt" text, its line ends written as LF.
std::string table_dump_text(const WordTable& table);

/// The bytes of "rec_tab.bin".
std::vector<uint8_t> table_record_bytes(const WordTable& table);

/// Writes "_tableDebug.txt" to the work folder; a trace that cannot be
/// written is only logged.
void write_table_dump(BuildContext& context, const WordTable& table);

/// Writes "rec_tab.bin" to the work folder. Fatal when it cannot.
void write_table_record(const BuildContext& context, const WordTable& table);

}  // namespace lexbuild
