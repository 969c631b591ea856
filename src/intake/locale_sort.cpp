#include "intake/locale_sort.h"

#include <algorithm>
#include <cstring>

#include "compiler/ordered_parallel.h"
#include "driver/report.h"
#include "intake/parallel_sort.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

std::span<const uint8_t> key_of(std::span<const uint8_t> data, const ListLine& line) {
  return data.subspan(line.offset, line.key_length);
}

char16_t unit_at(const uint8_t* p) { return static_cast<char16_t>(p[0] | (p[1] << 8)); }

void sort_8bit(std::span<const uint8_t> data, std::vector<ListLine>& lines,
               const ByteTable& ranks) {
  parallel_sort(
      lines,
      [&](const ListLine& x, const ListLine& y) {
        const int order = compare_8bit_keys(key_of(data, x), key_of(data, y), ranks);
        return order != 0 ? order < 0 : x.offset < y.offset;
      },
      worker_count());
}

void sort_16bit_c(std::span<const uint8_t> data, std::vector<ListLine>& lines) {
  parallel_sort(
      lines,
      [&](const ListLine& x, const ListLine& y) {
        const int order = compare_16bit_keys_c(key_of(data, x), key_of(data, y));
        return order != 0 ? order < 0 : x.offset < y.offset;
      },
      worker_count());
}

// Whole keys under the language's collation: each key's sort key is made once
// and the lines are ordered by comparing sort keys as bytes.
void sort_16bit_collated(std::span<const uint8_t> data, std::vector<ListLine>& lines,
                         const platform::Collator& collator) {
  struct Keyed {
    uint64_t key_offset;
    uint32_t key_length;
    uint32_t line;
  };
  std::vector<uint8_t> keys;
  std::vector<Keyed> order;
  order.reserve(lines.size());
  std::u16string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::span<const uint8_t> key = key_of(data, lines[i]);
    text.resize(key.size() / 2);
    for (size_t u = 0; u < text.size(); ++u) text[u] = unit_at(&key[2 * u]);
    const size_t at = keys.size();
    collator.append_sort_key(text, keys);
    order.push_back(Keyed{at, static_cast<uint32_t>(keys.size() - at), static_cast<uint32_t>(i)});
  }
  parallel_sort(
      order,
      [&](const Keyed& x, const Keyed& y) {
        const size_t common = std::min(x.key_length, y.key_length);
        const int c = common ? std::memcmp(&keys[x.key_offset], &keys[y.key_offset], common) : 0;
        if (c != 0) return c < 0;
        if (x.key_length != y.key_length) return x.key_length < y.key_length;
        return x.line < y.line;
      },
      worker_count());
  std::vector<ListLine> sorted;
  sorted.reserve(lines.size());
  for (const Keyed& k : order) sorted.push_back(lines[k.line]);
  lines = std::move(sorted);
}

}  // namespace

int compare_8bit_keys(std::span<const uint8_t> a, std::span<const uint8_t> b,
                      const ByteTable& ranks) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (ranks[a[i]] != ranks[b[i]]) return ranks[a[i]] < ranks[b[i]] ? -1 : 1;
  }
  // Past the end of the shorter key the comparison goes on against the empty
  // string: only a byte that sorts after it decides. Stopping as soon as one
  // key ends would make "ab" equal to "ab<soft hyphen>x" but not the other
  // way round, and the sort needs a consistent order.
  for (size_t i = common; i < a.size(); ++i) {
    if (ranks[a[i]] != 0) return 1;
  }
  for (size_t i = common; i < b.size(); ++i) {
    if (ranks[b[i]] != 0) return -1;
  }
  return 0;
}

int compare_16bit_keys_c(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  auto fold = [](char16_t u) { return u >= u'A' && u <= u'Z' ? char16_t(u + 0x20) : u; };
  const size_t common = std::min(a.size(), b.size()) / 2;
  for (size_t i = 0; i < common; ++i) {
    const char16_t x = fold(unit_at(&a[2 * i]));
    const char16_t y = fold(unit_at(&b[2 * i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::vector<ListLine> sorted_lines(std::span<const uint8_t> data, ListEncoding encoding,
                                   const SourceLocale& locale, bool* too_long,
                                   size_t* entry_count) {
  ListLines lines = split_list(data, encoding, too_long);
  if (entry_count != nullptr) *entry_count = lines.entries.size();
  if (encoding == ListEncoding::k8Bit) {
    sort_8bit(data, lines.entries, locale.byte_ranks());
  } else if (locale.collator() == nullptr) {
    sort_16bit_c(data, lines.entries);
  } else {
    sort_16bit_collated(data, lines.entries, *locale.collator());
  }
  // Lines without a TAB carry no entry; after the entries they cannot split
  // a run of words that share a prefix.
  lines.entries.insert(lines.entries.end(), lines.without_tab.begin(), lines.without_tab.end());
  return std::move(lines.entries);
}

size_t sort_list(BuildContext& context, const std::string& path, const SourceLocale& locale,
                 std::optional<std::vector<uint8_t>> held) {
  const ListEncoding encoding =
      context.settings.unicode ? ListEncoding::k16Bit : ListEncoding::k8Bit;
  std::vector<uint8_t> data;
  if (held) {
    data = std::move(*held);
  } else if (!platform::read_file(path, data)) {
    report_fatal("could not open file %s", path.c_str());
  }

  bool too_long = false;
  size_t entries = 0;
  const std::vector<ListLine> lines = sorted_lines(data, encoding, locale, &too_long, &entries);
  if (too_long) report_fatal("a line of %s is longer than 4 GiB\n", path.c_str());

  // The new order goes to a file beside the list and replaces it only when
  // complete, so that a failed write leaves the list as it was.
  platform::ReplacingOutput output;
  if (!output.create(path)) {
    report_fatal(
        "could not write the sorted list %s: %s; set TMP to a folder with room that "
        "you can write to\n",
        path.c_str(), platform::error_text(output.error_code()).c_str());
  }
  static constexpr uint8_t kLineEnd[2] = {0x0D, 0x0A};
  for (const ListLine& line : lines) {
    output.file().write(data.data() + line.offset, line.length);
    output.file().write(kLineEnd, 2);
  }
  if (!output.commit()) {
    report_fatal(
        "could not write the sorted list %s: %s; make room in that folder, or set TMP "
        "to another one\n",
        path.c_str(), platform::error_text(output.error_code()).c_str());
  }
  // The parser's store is about as large as the list.
  data.clear();
  context.spare_buffer = std::move(data);
  return entries;
}

}  // namespace lexbuild
