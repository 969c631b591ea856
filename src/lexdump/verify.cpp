#include "lexdump/verify.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "compiler/format.h"
#include "lexdump/dictionary.h"

namespace lexbuild::dump {
namespace {

namespace fmt = lexbuild::format;

using std::to_string;

const char* kind_name(Kind kind) { return kind == Kind::kWords ? "words" : "translations"; }

}  // namespace

const char kVerifyChecks[] =
    "the database header and record list, the header record and its CRC, the record "
    "numbers, the word table, the index records, every chunk descriptor, the decoding of "
    "every chunk with its entry count, the word table's links to the chunks, and the lookup "
    "of every stored word through the word table";
const char kVerifyLimits[] =
    "the letters of the text: compressed text carries no checksum, so a changed byte that "
    "still decodes is not seen (compare `lexdump entries` with the source for that)";

namespace {

class Verifier {
 public:
  Verifier(const Dictionary& d, const LowerCase* lower, VerifyReport& report)
      : d_(d), lower_(lower), report_(report) {}

  void run() {
    check_type();
    if (!d_.header().crc_ok) {
      fail("header-crc", "the CRC of the header record does not match its bytes");
    }
    check_record_numbers();
    check_word_table();
    for (Kind kind : {Kind::kWords, Kind::kTrans}) {
      check_index_record(kind);
      check_chunk_records(kind);
    }
    check_entry_counts();
    check_table_links();
    if (report_.findings.empty()) check_lookup();
  }

 private:
  void fail(const char* rule, std::string detail) {
    report_.findings.push_back({rule, std::move(detail)});
  }

  void check_type() {
    const PdbFile& pdb = d_.pdb();
    if (pdb.type != "DICT" || pdb.creator != "Vlmr") {
      fail("database-type", "type '" + pdb.type + "' and creator '" + pdb.creator +
                                "' are not those of a dictionary (DICT, Vlmr)");
    }
    if (!pdb.name_terminated) fail("database-name", "the name field has no terminating zero");
  }

  void check_record_numbers() {
    const HeaderRecord& h = d_.header();
    const size_t count = d_.pdb().records.size();
    const auto expect = [&](const char* field, size_t value, size_t wanted) {
      if (value != wanted) {
        fail("record-numbers",
             std::string(field) + " is " + to_string(value) + ", not " + to_string(wanted));
      }
    };
    expect("tab_record", h.tab_record, 1);
    expect("index_w_record", h.index_w_record, 2);
    expect("index_t_record", h.index_t_record, 3);
    expect("first_words_record", h.first_words_record, fmt::kFirstChunkRecord);
    const size_t w = d_.index_record(Kind::kWords).size() / fmt::kRecordHeaderSize;
    expect("first_trans_record", h.first_trans_record, fmt::kFirstChunkRecord + w);
    const size_t t = d_.index_record(Kind::kTrans).size() / fmt::kRecordHeaderSize;
    if (w == 0 || t == 0) fail("record-numbers", "a kind has no chunk record");
    const size_t after_chunks = h.first_trans_record + t;
    if (after_chunks > count) {
      fail("record-numbers", "the chunk records end at record " + to_string(after_chunks) +
                                 " but the database holds " + to_string(count) + " records");
    }
    // The optional records follow the chunk records, in this order.
    const std::pair<const char*, uint16_t> optional[] = {{"about_record", h.about_record},
                                                         {"abbr_record", h.abbr_record},
                                                         {"font_words_record", h.font_words_record},
                                                         {"font_trans_record", h.font_trans_record},
                                                         {"kbd_record", h.kbd_record}};
    size_t next = after_chunks;
    for (const auto& [field, number] : optional) {
      if (number == 0) continue;
      if (number != next || number >= count) {
        fail("record-numbers", std::string(field) + " is " + to_string(number) +
                                   "; the next optional record is " + to_string(next) + " of " +
                                   to_string(count));
      }
      next = number + 1;
    }
    for (const auto& [field, number] :
         {std::pair<const char*, uint16_t>{"text_font_hr_record", h.text_font_hr_record},
          {"list_font_hr_record", h.list_font_hr_record}}) {
      if (number != 0 && (number < next || number >= count)) {
        fail("record-numbers", std::string(field) + " is " + to_string(number) +
                                   ", outside the records after the dictionary's own");
      }
    }
  }

  void check_word_table() {
    const std::span<const uint8_t> record = d_.pdb().record(d_.header().tab_record);
    if (!d_.table()) {
      fail("word-table", "the word table record (" + to_string(record.size()) +
                             " bytes) cannot hold the node count it states");
      return;
    }
    const WordTable& table = *d_.table();
    if (!table.count_matches_size) {
      fail("word-table", "the record holds " + to_string(record.size()) + " bytes, not the " +
                             to_string(2 + fmt::kTableNodeSize * table.stored_count) + " of its " +
                             to_string(table.stored_count) + " nodes");
    }
    for (size_t i = 0; i < table.nodes.size(); ++i) {
      const TableNode& n = table.nodes[i];
      if (n.num == 0) fail("word-table", "node " + to_string(i) + " counts no entries");
      if (n.children.empty()) continue;
      uint32_t sum = 0;
      for (int c : n.children) sum += table.nodes[c].num;
      if (sum != n.num || table.nodes[n.children.front()].from != n.from) {
        fail("word-table",
             "the children of node " + to_string(i) + " do not cover its entries exactly");
      }
    }
  }

  void check_index_record(Kind kind) {
    const std::span<const uint8_t> index = d_.index_record(kind);
    const size_t records = d_.record_count(kind);
    if (index.size() % fmt::kRecordHeaderSize != 0 ||
        index.size() / fmt::kRecordHeaderSize != records) {
      fail("index-records", std::string(kind_name(kind)) + " index of " + to_string(index.size()) +
                                " bytes does not list the " + to_string(records) +
                                " chunk records");
    }
    for (size_t i = 0; i < records && (i + 1) * fmt::kRecordHeaderSize <= index.size(); ++i) {
      const std::span<const uint8_t> record = d_.chunk_record(kind, i);
      if (record.size() < fmt::kRecordHeaderSize ||
          std::memcmp(record.data(), index.data() + i * fmt::kRecordHeaderSize,
                      fmt::kRecordHeaderSize) != 0) {
        fail("index-records", std::string(kind_name(kind)) + " index entry " + to_string(i) +
                                  " differs from the header of chunk record " + to_string(i));
      }
    }
  }

  void check_chunk_records(Kind kind) {
    const std::string name = kind_name(kind);
    uint64_t next_entry = 0;
    size_t entries = 0;
    for (size_t i = 0; i < d_.record_count(kind); ++i) {
      ++report_.records;
      const std::span<const uint8_t> record = d_.chunk_record(kind, i);
      const std::string where = name + " record " + to_string(i);
      const std::optional<RecordHeader> header = parse_record_header(record);
      if (!header) {
        fail("chunk-descriptors", where + " is shorter than its 110-byte header");
        continue;
      }
      if (header->chunk_count > fmt::kChunksPerRecord) {
        fail("chunk-descriptors", where + " claims " + to_string(header->chunk_count) + " chunks");
        continue;
      }
      size_t offset = fmt::kRecordHeaderSize;
      uint32_t total = 0;
      for (size_t slot = 0; slot < fmt::kChunksPerRecord; ++slot) {
        const ChunkDescriptor& c = header->chunks[slot];
        if (slot >= header->chunk_count) {
          if (c.offset || c.size || c.first_entry || c.entry_count) {
            fail("chunk-descriptors",
                 where + " descriptor " + to_string(slot) + " beyond its chunk count is not zero");
          }
          continue;
        }
        const std::string chunk = where + " chunk " + to_string(slot);
        if (c.offset != offset) {
          fail("chunk-descriptors",
               chunk + " starts at " + to_string(c.offset) + ", not " + to_string(offset));
        }
        if (c.size % 2 != 0)
          fail("chunk-descriptors", chunk + " has the odd size " + to_string(c.size));
        if (c.first_entry != next_entry) {
          fail("chunk-descriptors", chunk + " starts at entry " + to_string(c.first_entry) +
                                        ", not " + to_string(next_entry));
        }
        if (slot == 0 && header->first_entry != c.first_entry) {
          fail("chunk-descriptors", where + " names first entry " + to_string(header->first_entry) +
                                        ", its first chunk " + to_string(c.first_entry));
        }
        if (c.offset + size_t{c.size} > record.size()) {
          fail("chunk-descriptors", chunk + " runs past the end of its record");
        } else {
          check_chunk(kind, i, slot, c, record.subspan(c.offset, c.size), chunk);
        }
        offset = c.offset + size_t{c.size};
        next_entry = uint64_t{c.first_entry} + c.entry_count;
        total += c.entry_count;
        entries += c.entry_count;
        ++report_.chunks;
      }
      if (header->chunk_count == 0 && (header->first_entry != 0 || header->entry_total != 0)) {
        fail("chunk-descriptors", where + " holds no chunk but counts entries");
      }
      if (header->chunk_count == 0 && i + 1 != d_.record_count(kind)) {
        fail("chunk-descriptors", where + " holds no chunk but is not the last of its kind");
      }
      if (header->entry_total != total) {
        fail("chunk-descriptors", where + " totals " + to_string(header->entry_total) +
                                      " entries, its chunks " + to_string(total));
      }
      if (record.size() != offset) {
        fail("chunk-descriptors", where + " is " + to_string(record.size()) +
                                      " bytes long, its chunks end at " + to_string(offset));
      }
    }
    (kind == Kind::kWords ? word_entries_ : trans_entries_) = entries;
  }

  void check_chunk(Kind kind, size_t record, size_t slot, const ChunkDescriptor& c,
                   std::span<const uint8_t> data, const std::string& where) {
    ChunkRef ref{kind, record, slot, c, data};
    const DecodedChunk decoded = Dictionary::decode(ref);
    if (!decoded.ok) {
      fail("chunk-decoding", where + ": " + decoded.error);
      return;
    }
    // The stream fills the chunk's even size, with one zero pad byte after an odd stream.
    if ((decoded.consumed + 1) / 2 * 2 != c.size) {
      fail("chunk-decoding", where + ": the stream of " + to_string(decoded.consumed) +
                                 " bytes does not fill its size of " + to_string(c.size));
    } else if (decoded.consumed % 2 == 1 && data[decoded.consumed] != 0) {
      fail("chunk-descriptors", where + ": the pad byte is not zero");
    }
    auto texts = d_.split_records(kind, decoded.raw);
    if (!texts) {
      fail("chunk-decoding", where + " does not divide into whole entries");
    } else if (texts->size() != c.entry_count) {
      fail("chunk-decoding", where + " holds " + to_string(texts->size()) +
                                 " entries, its descriptor says " + to_string(c.entry_count));
    } else if (kind == Kind::kWords) {
      for (auto& t : *texts) words_.push_back(std::move(t));
    }
  }

  void check_entry_counts() {
    const uint32_t items = d_.header().items_count;
    report_.entries = items;
    if (word_entries_ != items || trans_entries_ != items) {
      fail("entry-count", "the header record counts " + to_string(items) + " entries, the words " +
                              to_string(word_entries_) + " and the translations " +
                              to_string(trans_entries_));
    }
  }

  // Which chunk holds each entry, by the descriptors.
  struct Place {
    // cppcheck-suppress unusedStructMember ; read through std::optional below
    size_t record;
    // cppcheck-suppress unusedStructMember ; read through std::optional below
    size_t slot;
  };
  static std::optional<Place> place_of(const std::vector<ChunkRef>& chunks, uint32_t entry) {
    // Chunks stand in entry order: the last one starting at or before the entry.
    auto it = std::upper_bound(
        chunks.begin(), chunks.end(), entry,
        [](uint32_t e, const ChunkRef& c) { return e < c.descriptor.first_entry; });
    if (it == chunks.begin()) return std::nullopt;
    --it;
    if (entry >= uint64_t{it->descriptor.first_entry} + it->descriptor.entry_count)
      return std::nullopt;
    return Place{it->record, it->slot};
  }

  void check_table_links() {
    if (!d_.table()) return;
    const uint32_t items = d_.header().items_count;
    const auto& nodes = d_.table()->nodes;
    const std::vector<ChunkRef> word_chunks = d_.chunks(Kind::kWords);
    const std::vector<ChunkRef> trans_chunks = d_.chunks(Kind::kTrans);
    for (size_t i = 0; i < nodes.size(); ++i) {
      const TableNode& n = nodes[i];
      if (uint64_t{n.from} + n.num > items) {
        fail("word-table-links", "node " + to_string(i) + " covers entries beyond the last");
        continue;
      }
      for (Kind kind : {Kind::kWords, Kind::kTrans}) {
        const std::optional<Place> place =
            place_of(kind == Kind::kWords ? word_chunks : trans_chunks, n.from);
        const size_t record = kind == Kind::kWords ? n.words_record : n.trans_record;
        const size_t slot = kind == Kind::kWords ? n.words_slot : n.trans_slot;
        if (!place || place->record != record || place->slot != slot) {
          fail("word-table-links", "node " + to_string(i) + " points at " + kind_name(kind) +
                                       " record " + to_string(record) + " slot " + to_string(slot) +
                                       " for entry " + to_string(n.from) + ", which lies " +
                                       (place ? "in record " + to_string(place->record) + " slot " +
                                                    to_string(place->slot)
                                              : std::string("in no chunk")));
        }
      }
    }
  }

  // The nodes that hold entry `entry`, level by level.
  std::vector<int> path_of(uint32_t entry) const {
    const WordTable& table = *d_.table();
    std::vector<int> path;
    const std::vector<int>* group = &table.roots;
    while (!group->empty()) {
      // Siblings stand in entry order: the last one starting at or before it.
      auto it = std::upper_bound(group->begin(), group->end(), entry,
                                 [&table](uint32_t e, int n) { return e < table.nodes[n].from; });
      if (it == group->begin()) break;
      const TableNode& n = table.nodes[*--it];
      if (entry >= uint64_t{n.from} + n.num) break;
      path.push_back(*it);
      group = &n.children;
    }
    return path;
  }

  // The lower-case mapping the keys show: the key byte of every node on an
  // entry's path is the lower case of the entry's byte there.
  LowerCase learned_lower_case() const {
    LowerCase lower{};
    std::array<bool, 256> known{};
    for (size_t b = 0; b < 256; ++b) lower[b] = static_cast<uint8_t>(b);
    for (uint32_t i = 0; i < words_.size(); ++i) {
      const std::vector<uint8_t> text = table_text(d_, words_[i]);
      const std::vector<int> path = path_of(i);
      for (size_t k = 0; k < path.size() && k < text.size(); ++k) {
        if (known[text[k]]) continue;
        known[text[k]] = true;
        lower[text[k]] = d_.table()->nodes[path[k]].key[k];
      }
    }
    return lower;
  }

  static bool holds(const WordTable& table, const std::vector<int>& nodes, uint32_t entry) {
    return std::any_of(nodes.begin(), nodes.end(), [&](int n) {
      return entry >= table.nodes[n].from &&
             entry < uint64_t{table.nodes[n].from} + table.nodes[n].num;
    });
  }

  // Every stored word is found by a lookup, which follows every node whose
  // key matches (the links from those nodes to their chunks are checked
  // above, so reaching an entry's node is finding it).
  void check_lookup() {
    if (!d_.table() || words_.size() != d_.header().items_count) return;
    const WordTable& table = *d_.table();
    const TableIndex index(table);
    const LowerCase lower = lower_ ? *lower_ : learned_lower_case();
    size_t missed = 0;
    for (uint32_t i = 0; i < words_.size(); ++i) {
      const std::vector<uint8_t> text = table_text(d_, words_[i]);
      if (!holds(table, searched_nodes(index, text, lower), i)) {
        if (missed++ < 3) {
          fail("word-lookup", "entry " + to_string(i) + ", '" +
                                  display_text(words_[i], d_.unicode()) +
                                  "', is not found through the word table");
        }
      } else if (!holds(table, searched_nodes(index, text, lower, true), i)) {
        ++report_.missed_by_first_node;
      }
    }
    if (missed > 3) {
      fail("word-lookup", to_string(missed) + " of " + to_string(words_.size()) +
                              " words in all are not found through the word table");
    }
    report_.lookup_checked = true;
    // Keys that stand in more than one node, per level.
    std::vector<std::pair<int, std::array<uint8_t, 4>>> keys;
    for (const TableNode& n : table.nodes) keys.emplace_back(n.level, n.key);
    std::sort(keys.begin(), keys.end());
    for (size_t i = 1; i < keys.size(); ++i) {
      if (keys[i] == keys[i - 1] && (i == 1 || keys[i - 1] != keys[i - 2])) {
        ++report_.repeated_keys[static_cast<size_t>(std::clamp(keys[i].first, 1, 4) - 1)];
      }
    }
  }

  const Dictionary& d_;
  const LowerCase* lower_;
  VerifyReport& report_;
  std::vector<std::vector<uint8_t>> words_;  // every stored word, in entry order
  size_t word_entries_ = 0;
  size_t trans_entries_ = 0;
};

}  // namespace

VerifyReport verify_database(std::vector<uint8_t> bytes, const LowerCase* lower) {
  VerifyReport report;
  std::optional<Dictionary> dictionary = Dictionary::open(std::move(bytes), report.findings);
  if (!dictionary) return report;
  Verifier(*dictionary, lower, report).run();
  return report;
}

}  // namespace lexbuild::dump
