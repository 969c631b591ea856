#include "patcher/database_image.h"

#include <algorithm>
#include <cassert>
#include <limits>

#include "compiler/byte_order.h"
#include "compiler/format.h"

namespace lexbuild {

using format::kDbHeaderSize;
using format::kRecordEntrySize;

uint16_t record_count(std::span<const uint8_t> image) {
  return get_be16(image.data() + format::kDbRecordCountOffset);
}

std::optional<size_t> find_header_record(std::span<const uint8_t> image) {
  return find_header_record(image, image.size());
}

std::optional<size_t> find_header_record(std::span<const uint8_t> image, uint64_t file_size) {
  if (image.size() < kDbHeaderSize) return std::nullopt;
  const size_t count = record_count(image);
  const size_t list_end = kDbHeaderSize + count * kRecordEntrySize;
  if (count == 0 || image.size() < list_end) return std::nullopt;
  // Every offset must lie within the file: moving the records later adds to
  // each one, and an offset past the end would mean a damaged list.
  for (size_t k = 0; k < count; ++k) {
    if (get_be32(image.data() + kDbHeaderSize + k * kRecordEntrySize) > file_size) {
      return std::nullopt;
    }
  }
  const size_t offset = get_be32(image.data() + kDbHeaderSize);
  // Record 0 is rewritten in place, so it must not share bytes with the list.
  if (offset < list_end || image.size() < offset ||
      image.size() - offset < format::kHeaderRecordSize) {
    return std::nullopt;
  }
  return offset;
}

size_t header_record_reach(std::span<const uint8_t> image) {
  if (image.size() < kDbHeaderSize) return kDbHeaderSize;
  const size_t list_end = kDbHeaderSize + record_count(image) * kRecordEntrySize;
  if (record_count(image) == 0 || image.size() < list_end) return list_end;
  const size_t record0_end =
      size_t{get_be32(image.data() + kDbHeaderSize)} + format::kHeaderRecordSize;
  return std::max(list_end, record0_end);
}

bool can_grow(std::span<const uint8_t> image, size_t count, uint64_t added_bytes) {
  const uint64_t new_size = image.size() + count * kRecordEntrySize + added_bytes;
  return record_count(image) + count <= format::kMaxRecordCount &&
         new_size <= std::numeric_limits<uint32_t>::max();
}

void append_font_record(std::vector<uint8_t>& image, std::span<const uint8_t> font) {
  assert(can_grow(image, 1, font.size()));
  const size_t count = record_count(image);
  const size_t list_end = kDbHeaderSize + count * kRecordEntrySize;
  assert(image.size() >= list_end);

  const std::span<const uint8_t> old(image);
  std::vector<uint8_t> grown;
  grown.reserve(image.size() + kRecordEntrySize + font.size());
  const auto header = old.first(kDbHeaderSize);
  grown.insert(grown.end(), header.begin(), header.end());
  put_be16(grown.data() + format::kDbRecordCountOffset, static_cast<uint16_t>(count + 1));

  // The earlier entries: attributes and unique id kept, data 8 bytes later.
  const auto list = old.subspan(kDbHeaderSize, list_end - kDbHeaderSize);
  grown.insert(grown.end(), list.begin(), list.end());
  for (size_t k = 0; k < count; ++k) {
    uint8_t* entry = grown.data() + kDbHeaderSize + k * kRecordEntrySize;
    put_be32(entry, get_be32(entry) + static_cast<uint32_t>(kRecordEntrySize));
  }
  // The new entry: the font lands after everything the file held, which has
  // itself moved 8 bytes further.
  append_be32(grown, static_cast<uint32_t>(image.size() + kRecordEntrySize));
  grown.insert(grown.end(), kRecordEntrySize - 4, 0);

  // The gap and all record data, unchanged, then the font.
  const auto rest = old.subspan(list_end);
  grown.insert(grown.end(), rest.begin(), rest.end());
  grown.insert(grown.end(), font.begin(), font.end());
  image.swap(grown);
}

}  // namespace lexbuild
