// A list held in memory as its file's bytes, cut into lines.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lexbuild {

enum class ListEncoding {
  k8Bit,   // bytes; lines end in LF or CR LF, the byte 0x1A ends the list
  k16Bit,  // UTF-16LE units; lines end in the unit 0x0A0D (the bytes 0D 0A)
};

/// One line of a list: where it starts in the list's bytes, and its length and
/// its sort key's length (the text before its first TAB) in bytes, line end
/// excluded.
struct ListLine {
  uint64_t offset = 0;
  uint32_t length = 0;
  uint32_t key_length = 0;
};

/// The lines of a list, sorted out for the sort: lines with a TAB (entries)
/// and lines without one. Empty lines are in neither.
struct ListLines {
  std::vector<ListLine> entries;
  std::vector<ListLine> without_tab;
};

/// Longest line the list may hold, so that lengths fit their fields.
inline constexpr uint64_t kMaxListLine = 0xFFFFFFFFu;

/// Cuts `data` into lines. The last line needs no line end. In a 16-bit list
/// an odd byte at the very end is not part of any unit and is ignored. A line
/// longer than kMaxListLine bytes makes the result empty and `too_long` true.
ListLines split_list(std::span<const uint8_t> data, ListEncoding encoding, bool* too_long);

}  // namespace lexbuild
