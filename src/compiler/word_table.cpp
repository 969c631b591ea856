#include "compiler/word_table.h"

#include <algorithm>

#include "driver/report.h"

namespace lexbuild {
namespace {

class TableBuilder {
 public:
  TableBuilder(const TextStores& stores, const std::array<uint8_t, 256>& lower_case)
      : stores_(stores), lower_(lower_case) {}

  WordTable build(Console& console) {
    build_level_one();
    console.print("itemsCount = %d\n", static_cast<int>(stores_.entry_count));
    for (int level = 2; level <= format::kTableLevels; ++level) divide_level(level);
    return std::move(table_);
  }

 private:
  // Entries are grouped by their lower-cased first byte; only neighbours
  // merge, so a letter that comes back later opens a second node.
  void build_level_one() {
    std::vector<PrefixNode>& nodes = table_.levels[0];
    for (uint32_t i = 0; i < stores_.entry_count; ++i) {
      const std::span<const uint8_t> record = stores_.word_record(i);
      // An empty word has no byte 0: it takes the key 0.
      const uint8_t b = record.size() > 1 ? lower_[record[1]] : 0;
      if (!nodes.empty() && nodes.back().key[0] == b) {
        count_entry(nodes.back());
      } else {
        open_node(1, i).key[0] = b;
      }
    }
  }

  // Divides every node of the level above that counts more than 1000
  // entries by the byte at position level - 1.
  void divide_level(int level) {
    const size_t k = static_cast<size_t>(level) - 1;
    // Parents and children live in different tables, so a parent stays put
    // while its children are appended.
    std::vector<PrefixNode>& children = table_.levels[level - 1];
    for (PrefixNode& parent : table_.levels[level - 2]) {
      if (parent.num <= format::kSplitThreshold) continue;
      parent.first_child = static_cast<uint32_t>(children.size());

      bool has_current = false;
      bool has_comparison = false;
      uint8_t comparison = 0;
      for (uint32_t j = 0; j < parent.num; ++j) {
        const std::span<const uint8_t> record = stores_.word_record(parent.from + j);
        // The stored text has a byte at position k when the record is longer
        // than k + 1 (in UTF-16 the record's last zero byte counts as text).
        const bool has_byte = record.size() > k + 1;
        const uint8_t c = has_byte ? lower_[record[k + 1]] : 0;
        // A word without the byte joins the current child, whatever it is.
        if (has_current && (!has_byte || (has_comparison && c == comparison))) {
          count_entry(children.back());
          continue;
        }
        // A child opened by a word without the byte has no comparison byte:
        // the next word with the byte opens another child.
        PrefixNode& child = open_node(level, parent.from + j);
        std::copy(parent.key.begin(), parent.key.begin() + k, child.key.begin());
        child.key[k] = c;
        has_current = true;
        has_comparison = has_byte;
        comparison = c;
        ++parent.childs;
      }
    }
  }

  PrefixNode& open_node(int level, uint32_t from) {
    if (node_count_ == kMaxTableNodes) {
      report_fatal(
          "the word table needs more than %zu nodes, the most its record can hold: the "
          "dictionary is too large; split it into smaller dictionaries\n",
          kMaxTableNodes);
    }
    ++node_count_;
    PrefixNode& node = table_.levels[level - 1].emplace_back();
    node.from = from;
    node.num = 1;
    return node;
  }

  static void count_entry(PrefixNode& node) {
    if (node.num == kMaxNodeEntries) {
      report_fatal(
          "more than %u entries from entry %u on begin alike, the most a word table node can "
          "count: the dictionary is too large; split it into smaller dictionaries\n",
          kMaxNodeEntries, node.from + 1);
    }
    ++node.num;
  }

  const TextStores& stores_;
  const std::array<uint8_t, 256>& lower_;
  WordTable table_;
  size_t node_count_ = 0;
};

}  // namespace

WordTable build_word_table(const TextStores& stores, const std::array<uint8_t, 256>& lower_case,
                           Console& console) {
  return TableBuilder(stores, lower_case).build(console);
}

}  // namespace lexbuild
