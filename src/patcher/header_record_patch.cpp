#include "patcher/header_record_patch.h"

#include <algorithm>
#include <cassert>

#include "compiler/byte_order.h"
#include "compiler/crc32.h"
#include "compiler/format.h"

namespace lexbuild {

bool header_record_intact(std::span<const uint8_t> record) {
  assert(record.size() == format::kHeaderRecordSize);
  return crc32(record) == kCrc32Residue;
}

void patch_header_record(std::span<uint8_t> record, const HeaderRecordPatch& patch) {
  assert(record.size() == format::kHeaderRecordSize);
  if (patch.pictures_db) {
    uint8_t* name = record.data() + format::kPicturesDbNameOffset;
    std::fill_n(name, format::kPicturesDbNameSize, 0);
    // The reader expects a terminating zero within the field.
    const size_t length = std::min(patch.pictures_db->size(), format::kPicturesDbNameSize - 1);
    std::copy_n(patch.pictures_db->begin(), length, name);
  }
  if (patch.allow_html) {
    put_be32(record.data() + format::kAllowHtmlFlagOffset,
             static_cast<uint32_t>(*patch.allow_html));
  }
  if (patch.text_font_record) {
    put_be16(record.data() + format::kTextFontHrRecordOffset, *patch.text_font_record);
  }
  if (patch.list_font_record) {
    put_be16(record.data() + format::kListFontHrRecordOffset, *patch.list_font_record);
  }
  put_le32(record.data() + format::kHeaderCrcOffset, crc32(record.first(format::kHeaderCrcOffset)));
}

}  // namespace lexbuild
