#include "lexdump/dictionary_records.h"

#include "compiler/byte_order.h"
#include "compiler/crc32.h"
#include "compiler/format.h"

namespace lexbuild::dump {

namespace fmt = lexbuild::format;

std::optional<HeaderRecord> parse_header_record(std::span<const uint8_t> record) {
  if (record.size() < fmt::kHeaderRecordSize) return std::nullopt;
  const uint8_t* p = record.data();
  HeaderRecord h;
  h.format_marker = get_be32(p + fmt::kFormatMarkerOffset);
  h.layout_marker = get_be16(p + fmt::kLayoutMarkerOffset);
  h.tab_record = get_be16(p + fmt::kTabRecordOffset);
  h.index_w_record = get_be16(p + fmt::kIndexWRecordOffset);
  h.index_t_record = get_be16(p + fmt::kIndexTRecordOffset);
  h.first_words_record = get_be16(p + fmt::kFirstWordsRecordOffset);
  h.first_trans_record = get_be16(p + fmt::kFirstTransRecordOffset);
  h.about_record = get_be16(p + fmt::kAboutRecordOffset);
  h.abbr_record = get_be16(p + fmt::kAbbrRecordOffset);
  h.font_trans_record = get_be16(p + fmt::kFontTransRecordOffset);
  h.font_words_record = get_be16(p + fmt::kFontWordsRecordOffset);
  h.kbd_record = get_be16(p + fmt::kKbdRecordOffset);
  h.items_count = get_be32(p + fmt::kItemsCountOffset);
  h.unicode_flag = get_be32(p + fmt::kUnicodeFlagOffset);
  h.largefont_flag = get_be32(p + fmt::kLargefontFlagOffset);
  const char* name = reinterpret_cast<const char*>(p + fmt::kPicturesDbNameOffset);
  size_t length = 0;
  while (length < fmt::kPicturesDbNameSize && name[length] != 0) ++length;
  h.pictures_db.assign(name, length);
  h.allow_html = static_cast<int32_t>(get_be32(p + fmt::kAllowHtmlFlagOffset));
  h.text_font_hr_record = get_be16(p + fmt::kTextFontHrRecordOffset);
  h.list_font_hr_record = get_be16(p + fmt::kListFontHrRecordOffset);
  h.stored_crc = get_le32(p + fmt::kHeaderCrcOffset);
  h.crc_ok = crc32(record.first(fmt::kHeaderRecordSize)) == kCrc32Residue;
  return h;
}

std::optional<WordTable> parse_word_table(std::span<const uint8_t> record) {
  if (record.size() < 2) return std::nullopt;
  WordTable table;
  table.stored_count = get_be16(record.data());
  const size_t needed = 2 + fmt::kTableNodeSize * table.stored_count;
  if (record.size() < needed) return std::nullopt;
  table.count_matches_size = record.size() == needed;
  table.nodes.resize(table.stored_count);
  std::vector<int> stack;  // the open ancestors of the next node
  for (size_t i = 0; i < table.stored_count; ++i) {
    const uint8_t* p = record.data() + 2 + fmt::kTableNodeSize * i;
    TableNode& n = table.nodes[i];
    for (int k = 0; k < 4; ++k) n.key[k] = p[k];
    n.num = get_be16(p + 4);
    n.words_record = get_be16(p + 6);
    n.trans_record = get_be16(p + 8);
    n.words_slot = p[10];
    n.trans_slot = p[11];
    n.from = get_be32(p + 12);
    // Children follow their parent and their entries lie within the parent's.
    while (!stack.empty()) {
      const TableNode& top = table.nodes[stack.back()];
      const uint64_t end = uint64_t{top.from} + top.num;
      if (n.from >= top.from && uint64_t{n.from} + n.num <= end && top.level < fmt::kTableLevels) {
        break;
      }
      stack.pop_back();
    }
    if (stack.empty()) {
      table.roots.push_back(static_cast<int>(i));
    } else {
      n.parent = stack.back();
      n.level = table.nodes[n.parent].level + 1;
      table.nodes[n.parent].children.push_back(static_cast<int>(i));
    }
    stack.push_back(static_cast<int>(i));
  }
  return table;
}

std::optional<RecordHeader> parse_record_header(std::span<const uint8_t> bytes) {
  if (bytes.size() < fmt::kRecordHeaderSize) return std::nullopt;
  const uint8_t* p = bytes.data();
  RecordHeader h;
  h.chunk_count = get_be16(p);
  h.first_entry = get_be32(p + 2);
  h.entry_total = get_be32(p + 6);
  for (size_t k = 0; k < fmt::kChunksPerRecord; ++k) {
    const uint8_t* d = p + fmt::kFirstDescriptorOffset + fmt::kChunkDescriptorSize * k;
    h.chunks[k].offset = get_be16(d);
    h.chunks[k].size = get_be16(d + 2);
    h.chunks[k].first_entry = get_be32(d + 4);
    h.chunks[k].entry_count = get_be16(d + 8);
  }
  return h;
}

}  // namespace lexbuild::dump
