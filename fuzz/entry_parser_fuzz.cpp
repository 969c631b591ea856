// Arbitrary bytes as the sorted list the compiler reads. The first byte picks
// 8-bit or UTF-16 lines; the rest is the list. The parser either refuses it
// with a message or fills the stores with records that walk exactly: every
// word record's length byte fits and ends where the next begins, every
// translation record has its short or long form and stays below the chunk
// limit, and the trace holds one CR LF line per non-blank line. The word
// table and the chunk plan built over the stores must cover every entry.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "compiler/chunk_files.h"
#include "compiler/chunking.h"
#include "compiler/entry_parser.h"
#include "compiler/format.h"
#include "compiler/text_stores.h"
#include "compiler/word_table.h"
#include "driver/build_context.h"
#include "driver/console.h"
#include "driver/report.h"

using namespace lexbuild;

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void check_words(const TextStores& stores, bool unicode) {
  check(stores.word_offsets.size() == stores.entry_count);
  size_t pos = 0;
  for (uint32_t i = 0; i < stores.entry_count; ++i) {
    check(stores.word_offsets[i] == pos);
    check(pos < stores.words.size());
    const size_t length = stores.words[pos];
    check(length >= 1 && pos + length <= stores.words.size());
    const std::span<const uint8_t> text = std::span(stores.words).subspan(pos + 1, length - 1);
    if (unicode) {
      check(length % 2 == 0 && text.back() == 0);  // the units and one zero byte
      for (size_t k = 0; k + 1 < text.size(); k += 2) {
        const unsigned unit = text[k] | (text[k + 1] << 8);
        check(unit != '\t');
      }
    } else {
      for (uint8_t b : text) check(b != '\t' && b != '\r');
      if (!text.empty()) check(text.front() != ' ' && text.back() != ' ');
    }
    pos += length;
  }
  check(pos == stores.words.size());
}

void check_translations(const TextStores& stores, bool unicode) {
  size_t pos = 0;
  for (uint32_t i = 0; i < stores.entry_count; ++i) {
    check(pos < stores.translations.size());
    const uint8_t* record = stores.translations.data() + pos;
    size_t head = 1;
    if (record[0] == 0) {
      check(pos + 3 <= stores.translations.size());
      head = kLongTranslationHead;
    }
    const size_t length = translation_record_length(record);
    check(length >= head && pos + length <= stores.translations.size());
    check(length < format::kChunkLimit);
    const size_t text = length - head;
    // Short records hold up to 254 bytes, long ones more.
    check(head == 1 ? text <= kMaxShortTranslation : text > kMaxShortTranslation);
    if (unicode) check(text % 2 == 0);
    pos += length;
  }
  check(pos == stores.translations.size());
}

void check_chunks(const TextStores& stores, ChunkKind kind) {
  uint32_t next = 0;
  size_t offset = 0;
  for (const ChunkSpan& chunk : plan_chunks(stores, kind)) {
    check(chunk.first == next && chunk.offset == offset);
    check(chunk.count > 0 && chunk.size > 0 && chunk.size < format::kChunkLimit);
    next += chunk.count;
    offset += chunk.size;
  }
  check(next == stores.entry_count);
}

void check_table(const WordTable& table, uint32_t entries) {
  uint64_t covered = 0;
  for (const PrefixNode& node : table.levels[0]) {
    check(node.from == covered && node.num > 0);
    covered += node.num;
  }
  check(covered == entries);
  for (int level = 0; level + 1 < format::kTableLevels; ++level) {
    for (const PrefixNode& node : table.levels[level]) {
      if (node.childs == 0) continue;
      check(node.num > format::kSplitThreshold);
      uint64_t sum = 0;
      uint64_t from = node.from;
      for (uint32_t c = 0; c < node.childs; ++c) {
        const PrefixNode& child = table.levels[level + 1].at(node.first_child + c);
        check(child.from == from);
        from += child.num;
        sum += child.num;
      }
      check(sum == node.num);
    }
  }
  check(table_record_bytes(table).size() == 2 + format::kTableNodeSize * table.node_count());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool unicode = data[0] & 1;
  const std::span<const uint8_t> list(data + 1, size - 1);

  StringConsole console;
  TextStores stores;
  EntryParser parser(unicode, console, stores, "list");
  try {
    parser.parse_list(list, [&](std::span<const uint8_t> line) {
      check(line.size() >= (unicode ? 4u : 3u));
      check(line[line.size() - 2] == '\r' && line[line.size() - 1] == '\n');
    });
  } catch (const FatalError& e) {
    check(e.exit_status() == 1);
    return 0;  // refused with a message, before a record could overflow
  }
  check_words(stores, unicode);
  check_translations(stores, unicode);
  stores.close();

  check_chunks(stores, ChunkKind::kWords);
  check_chunks(stores, ChunkKind::kTranslations);
  try {
    const WordTable table = build_word_table(stores, c_lower_case(), console);
    check_table(table, stores.entry_count);
  } catch (const FatalError& e) {
    check(e.exit_status() == 1);  // more nodes than the table record holds
  }
  return 0;
}
