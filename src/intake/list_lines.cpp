#include "intake/list_lines.h"

#include <algorithm>
#include <cstring>

#include "intake/byte_search.h"

namespace lexbuild {
namespace {

constexpr uint8_t kTab = 0x09;
constexpr uint8_t kLf = 0x0A;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kEndOfText = 0x1A;  // ends a list read as text

bool add_line(ListLines& lines, uint64_t offset, uint64_t length, uint64_t key_length,
              bool has_tab) {
  if (length == 0) return true;  // an empty line would end the list for the compiler
  if (length > kMaxListLine) return false;
  const ListLine line{offset, static_cast<uint32_t>(length), static_cast<uint32_t>(key_length)};
  (has_tab ? lines.entries : lines.without_tab).push_back(line);
  return true;
}

ListLines split_8bit(std::span<const uint8_t> data, bool* too_long) {
  ListLines lines;
  const uint8_t* begin = data.data();
  size_t size = data.size();
  if (size == 0) return lines;  // (memchr must not be handed an empty vector's null data)
  if (const void* eof = std::memchr(begin, kEndOfText, size)) {
    size = static_cast<size_t>(static_cast<const uint8_t*>(eof) - begin);
  }
  // One slot per line end, so that the table is allocated once.
  lines.entries.reserve(count_byte(begin, begin + size, kLf) + 1);
  size_t start = 0;
  while (start < size) {
    const void* found = std::memchr(begin + start, kLf, size - start);
    const size_t end =
        found ? static_cast<size_t>(static_cast<const uint8_t*>(found) - begin) : size;
    size_t length = end - start;
    // CR LF is one line end; a CR elsewhere is an ordinary byte.
    if (found && length > 0 && begin[end - 1] == kCr) --length;
    const void* tab = std::memchr(begin + start, kTab, length);
    const size_t key =
        tab ? static_cast<size_t>(static_cast<const uint8_t*>(tab) - begin) - start : 0;
    if (!add_line(lines, start, length, key, tab != nullptr)) {
      *too_long = true;
      return {};
    }
    start = end + 1;
  }
  return lines;
}

ListLines split_16bit(std::span<const uint8_t> data, bool* too_long) {
  ListLines lines;
  if (data.size() < 2) return lines;  // no unit (and maybe no pointer to add to)
  const uint8_t* begin = data.data();
  const uint8_t* last = begin + (data.size() & ~size_t{1});
  // At most one line a CR byte, and one after the last.
  lines.entries.reserve(count_byte(begin, last, kCr) + 1);
  for (const uint8_t* start = begin;;) {
    const uint8_t* end = find_unit(start, last, kCr, kLf);
    const uint8_t* tab = find_unit(start, end, kTab, 0);
    const auto offset = static_cast<uint64_t>(start - begin);
    if (!add_line(lines, offset, static_cast<uint64_t>(end - start),
                  tab != end ? static_cast<uint64_t>(tab - start) : 0, tab != end)) {
      *too_long = true;
      return {};
    }
    if (end == last) return lines;
    start = end + 2;
  }
}

}  // namespace

ListLines split_list(std::span<const uint8_t> data, ListEncoding encoding, bool* too_long) {
  *too_long = false;
  return encoding == ListEncoding::k8Bit ? split_8bit(data, too_long) : split_16bit(data, too_long);
}

}  // namespace lexbuild
