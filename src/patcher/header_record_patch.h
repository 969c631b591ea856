// The fields of the header record (record 0) that only the post-build pass
// knows, and the CRC that protects the record.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lexbuild {

/// What to store in a header record; an empty member leaves its field as it is.
struct HeaderRecordPatch {
  std::optional<std::string> pictures_db;
  std::optional<int32_t> allow_html;
  std::optional<uint16_t> text_font_record;
  std::optional<uint16_t> list_font_record;
};

/// Whether the 550 bytes of `record` end with the CRC-32 of the bytes before it.
bool header_record_intact(std::span<const uint8_t> record);

/// Stores the patch into the 550 bytes of `record` and a fresh CRC after them.
/// The pictures database name keeps at most 31 bytes and is zero-filled to its 32.
void patch_header_record(std::span<uint8_t> record, const HeaderRecordPatch& patch);

}  // namespace lexbuild
