#include "support/pdb_builder.h"

#include <algorithm>
#include <stdexcept>

#include "compiler/byte_order.h"
#include "compiler/crc32.h"
#include "compiler/format.h"

namespace lexbuild::testing {

namespace f = lexbuild::format;

std::vector<uint8_t> header_record(uint32_t items) {
  std::vector<uint8_t> record(f::kHeaderRecordSize, 0);
  put_be32(record.data() + f::kFormatMarkerOffset, 1);
  put_be16(record.data() + f::kLayoutMarkerOffset, 1);
  for (uint16_t r = 1; r <= 5; ++r) put_be16(record.data() + f::kTabRecordOffset + 2 * (r - 1), r);
  put_be32(record.data() + f::kItemsCountOffset, items);
  seal_header_record(record);
  return record;
}

void seal_header_record(std::vector<uint8_t>& record) {
  put_le32(record.data() + f::kHeaderCrcOffset, crc32({record.data(), f::kHeaderCrcOffset}));
}

std::vector<uint8_t> build_pdb(const std::vector<std::vector<uint8_t>>& records,
                               std::string_view name, uint32_t date) {
  std::vector<uint8_t> image(f::kDbHeaderSize, 0);
  std::copy_n(name.begin(), std::min(name.size(), f::kDbNameSize - 1), image.begin());
  put_be16(image.data() + f::kDbVersionOffset, f::kDbVersion);
  put_be32(image.data() + f::kDbCreationDateOffset, date);
  put_be32(image.data() + f::kDbModificationDateOffset, date);
  std::copy_n(f::kDbType, 4, image.begin() + f::kDbTypeOffset);
  std::copy_n(f::kDbCreator, 4, image.begin() + f::kDbCreatorOffset);
  put_be16(image.data() + f::kDbRecordCountOffset, static_cast<uint16_t>(records.size()));

  uint32_t offset = static_cast<uint32_t>(f::kDbHeaderSize + records.size() * f::kRecordEntrySize +
                                          f::kRecordListGap);
  for (const auto& record : records) {
    append_be32(image, offset);
    image.insert(image.end(), 4, 0);
    offset += static_cast<uint32_t>(record.size());
  }
  image.insert(image.end(), f::kRecordListGap, 0);
  for (const auto& record : records) image.insert(image.end(), record.begin(), record.end());
  return image;
}

std::vector<uint8_t> sample_pdb() {
  std::vector<std::vector<uint8_t>> records{header_record()};
  for (uint8_t k = 1; k <= 5; ++k) records.emplace_back(10 * k + 8, static_cast<uint8_t>(0xA0 + k));
  return build_pdb(records);
}

PdbContents split_pdb(const std::vector<uint8_t>& image) {
  if (image.size() < f::kDbHeaderSize) throw std::runtime_error("no database header");
  PdbContents contents;
  contents.header.assign(image.begin(), image.begin() + f::kDbHeaderSize);
  const size_t count = get_be16(image.data() + f::kDbRecordCountOffset);
  if (image.size() < f::kDbHeaderSize + count * f::kRecordEntrySize) {
    throw std::runtime_error("record list runs past the end");
  }
  for (size_t k = 0; k < count; ++k) {
    contents.offsets.push_back(get_be32(image.data() + f::kDbHeaderSize + k * f::kRecordEntrySize));
  }
  for (size_t k = 0; k < count; ++k) {
    const size_t end = k + 1 < count ? contents.offsets[k + 1] : image.size();
    if (contents.offsets[k] > end || end > image.size()) throw std::runtime_error("bad offsets");
    contents.records.emplace_back(image.begin() + contents.offsets[k], image.begin() + end);
  }
  return contents;
}

}  // namespace lexbuild::testing
