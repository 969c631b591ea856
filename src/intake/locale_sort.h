// The sort: the last intake stage. It orders the current list's lines by
// their keys (the text before the first TAB) under the selected locale and
// writes the list back in place, giving the intermediate list.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "driver/build_context.h"
#include "intake/list_lines.h"
#include "intake/source_locale.h"

namespace lexbuild {

/// Compares two keys of an 8-bit list position by position, each byte by its
/// rank alone; a key that ends compares like the empty string (rank 0).
int compare_8bit_keys(std::span<const uint8_t> a, std::span<const uint8_t> b,
                      const ByteTable& ranks);

/// Compares two keys of a 16-bit list (UTF-16LE bytes) under the "C" rules:
/// units A to Z folded to a to z, then unsigned unit values, a prefix first.
int compare_16bit_keys_c(std::span<const uint8_t> a, std::span<const uint8_t> b);

/// The lines of the list `data` in their sorted order: entries ascending by
/// their keys (ties keep their list order), then the lines without a TAB in
/// their list order, so that they never come between entries; empty lines
/// are dropped, since the compiler would stop at the first one. The number
/// of entries goes to `entry_count` when given.
std::vector<ListLine> sorted_lines(std::span<const uint8_t> data, ListEncoding encoding,
                                   const SourceLocale& locale, bool* too_long,
                                   size_t* entry_count = nullptr);

/// Sorts the list at `path` in place: 8-bit with CR LF line ends, or 16-bit
/// (settings.unicode) with the bytes 0D 0A as line ends. With `held`, those
/// are the list's contents, which the stage before left in memory: the
/// sorted list then replaces whatever the file holds. Returns the number of
/// its lines that hold a TAB, each an entry for the compiler. The list's
/// buffer is left as context.spare_buffer.
size_t sort_list(BuildContext& context, const std::string& path, const SourceLocale& locale,
                 std::optional<std::vector<uint8_t>> held = std::nullopt);

}  // namespace lexbuild
