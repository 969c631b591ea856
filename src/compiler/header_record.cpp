#include "compiler/header_record.h"

#include <utility>

#include "compiler/byte_order.h"
#include "compiler/crc32.h"
#include "compiler/work_files.h"

namespace lexbuild {

std::array<uint8_t, format::kHeaderRecordSize> header_record_bytes(const CompilerState& state,
                                                                   int unicode, int largefont) {
  std::array<uint8_t, format::kHeaderRecordSize> record{};
  uint8_t* r = record.data();
  put_be32(r + format::kFormatMarkerOffset, 1);
  put_be16(r + format::kLayoutMarkerOffset, 1);
  put_be16(r + format::kTabRecordOffset, 1);
  put_be16(r + format::kIndexWRecordOffset, 2);
  put_be16(r + format::kIndexTRecordOffset, 3);
  put_be16(r + format::kFirstWordsRecordOffset, format::kFirstChunkRecord);

  uint32_t next = format::kFirstChunkRecord + state.words_records;
  put_be16(r + format::kFirstTransRecordOffset, static_cast<uint16_t>(next));
  next += state.trans_records;
  // Numbered in the order the database receives them; the two fonts' fields
  // stand the other way round.
  const PresenceFlags& present = state.present;
  const std::pair<bool, size_t> optional[] = {
      {present.has_about, format::kAboutRecordOffset},
      {present.has_abbr, format::kAbbrRecordOffset},
      {present.has_font_words, format::kFontWordsRecordOffset},
      {present.has_font_trans, format::kFontTransRecordOffset},
      {present.has_kbd, format::kKbdRecordOffset},
  };
  for (const auto& [has, offset] : optional) {
    if (has) put_be16(r + offset, static_cast<uint16_t>(next++));
  }

  put_be32(r + format::kItemsCountOffset, state.stores.entry_count);
  put_be32(r + format::kUnicodeFlagOffset, static_cast<uint32_t>(unicode));
  put_be32(r + format::kLargefontFlagOffset, static_cast<uint32_t>(largefont));
  put_le32(r + format::kHeaderCrcOffset,
           crc32(std::span<const uint8_t>(record.data(), format::kHeaderCrcOffset)));
  return record;
}

void write_header_record(const BuildContext& context, const CompilerState& state) {
  const auto record =
      header_record_bytes(state, context.settings.unicode, context.settings.largefont);
  write_work_file(context.settings, kHeaderRecordFile, record);
}

}  // namespace lexbuild
