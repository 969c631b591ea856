// The dictionary's own records inside the database: the header record, the
// word table and the record headers of the chunk records.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lexbuild::dump {

struct HeaderRecord {
  uint32_t format_marker = 0;
  uint16_t layout_marker = 0;
  uint16_t tab_record = 0;
  uint16_t index_w_record = 0;
  uint16_t index_t_record = 0;
  uint16_t first_words_record = 0;
  uint16_t first_trans_record = 0;
  uint16_t about_record = 0;
  uint16_t abbr_record = 0;
  uint16_t font_trans_record = 0;
  uint16_t font_words_record = 0;
  uint16_t kbd_record = 0;
  uint32_t items_count = 0;
  uint32_t unicode_flag = 0;
  uint32_t largefont_flag = 0;
  std::string pictures_db;
  int32_t allow_html = 0;
  uint16_t text_font_hr_record = 0;
  uint16_t list_font_hr_record = 0;
  uint32_t stored_crc = 0;
  bool crc_ok = false;
};

/// Parses a header record; nothing when it is shorter than 550 bytes.
std::optional<HeaderRecord> parse_header_record(std::span<const uint8_t> record);

struct TableNode {
  std::array<uint8_t, 4> key{};
  uint16_t num = 0;
  uint16_t words_record = 0;
  uint16_t trans_record = 0;
  uint8_t words_slot = 0;
  uint8_t trans_slot = 0;
  uint32_t from = 0;
  // Rebuilt from the depth-first order: a node's entries lie within its parent's.
  int level = 1;
  int parent = -1;
  std::vector<int> children;
};

struct WordTable {
  std::vector<TableNode> nodes;
  std::vector<int> roots;  // the level-1 nodes
  /// Whether the node count field matched the record's size.
  bool count_matches_size = true;
  uint16_t stored_count = 0;
};

/// Parses the word table record: a 16-bit count, then 16 bytes a node.
/// Nothing when the record cannot hold its stated count.
std::optional<WordTable> parse_word_table(std::span<const uint8_t> record);

struct ChunkDescriptor {
  uint16_t offset = 0;
  uint16_t size = 0;
  uint32_t first_entry = 0;
  uint16_t entry_count = 0;
};

struct RecordHeader {
  uint16_t chunk_count = 0;
  uint32_t first_entry = 0;
  uint32_t entry_total = 0;
  std::array<ChunkDescriptor, 10> chunks{};
};

/// Parses a 110-byte record header; nothing when fewer bytes are given.
std::optional<RecordHeader> parse_record_header(std::span<const uint8_t> bytes);

}  // namespace lexbuild::dump
