// A finished database held in memory: finding its header record and adding
// records at its end.
//
//   offset 0        78-byte database header; u16 record count at offset 76
//   offset 78       record list: n entries of 8 bytes
//                   (u32 data offset, u8 attributes, 3-byte unique id)
//   78 + 8n         2-byte gap, then the records' bytes back to back
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace lexbuild {

/// The record count stored in the database header. REQUIRES: at least 78 bytes.
uint16_t record_count(std::span<const uint8_t> image);

/// File offset of record 0, the header record, or nothing when `image` cannot
/// be a database of ours: too short for its header or record list, without
/// records, a record starting outside the file, or record 0 overlapping the
/// record list or running past the end of the file.
std::optional<size_t> find_header_record(std::span<const uint8_t> image);

/// find_header_record() for `image`, the first bytes of a file of
/// `file_size` bytes: the same answer as for the whole file once `image`
/// reaches the end of record 0's first 550 bytes or of the file.
std::optional<size_t> find_header_record(std::span<const uint8_t> image, uint64_t file_size);

/// How many of a database's first bytes find_header_record() needs, given
/// the `image` of its first bytes read so far: at least the header, then the
/// record list, then up to the end of record 0's first 550 bytes.
size_t header_record_reach(std::span<const uint8_t> image);

/// Whether `image` can take `count` more records holding `added_bytes` bytes
/// in all: the record count stays 16-bit and every data offset 32-bit.
bool can_grow(std::span<const uint8_t> image, size_t count, uint64_t added_bytes);

/// Appends `font`, unchanged, as the new last record: the record list grows
/// by one entry, so every earlier record moves 8 bytes further and its data
/// offset grows by 8; the new entry points at the old end of the file plus 8,
/// with attributes 0 and unique id 0. REQUIRES: find_header_record() found
/// record 0 and can_grow(image, 1, font.size()).
void append_font_record(std::vector<uint8_t>& image, std::span<const uint8_t> font);

}  // namespace lexbuild
