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
#include "fuzz_support.h"

using namespace lexbuild;

namespace {

void check_words(const TextStores& stores, bool unicode) {
  FUZZ_CHECK(stores.word_offsets.size() == stores.entry_count);
  size_t pos = 0;
  for (uint32_t i = 0; i < stores.entry_count; ++i) {
    FUZZ_CHECK(stores.word_offsets[i] == pos);
    FUZZ_CHECK(pos < stores.words.size());
    const size_t length = stores.words[pos];
    FUZZ_CHECK(length >= 1 && pos + length <= stores.words.size());
    const std::span<const uint8_t> text = std::span(stores.words).subspan(pos + 1, length - 1);
    if (unicode) {
      FUZZ_CHECK(length % 2 == 0 && text.back() == 0);  // the units and one zero byte
      for (size_t k = 0; k + 1 < text.size(); k += 2) {
        const unsigned unit = text[k] | (text[k + 1] << 8);
        FUZZ_CHECK(unit != '\t');
      }
    } else {
      for (uint8_t b : text) FUZZ_CHECK(b != '\t' && b != '\r');
      if (!text.empty()) FUZZ_CHECK(text.front() != ' ' && text.back() != ' ');
    }
    pos += length;
  }
  FUZZ_CHECK(pos == stores.words.size());
}

void check_translations(const TextStores& stores, bool unicode) {
  size_t pos = 0;
  for (uint32_t i = 0; i < stores.entry_count; ++i) {
    FUZZ_CHECK(pos < stores.translations.size());
    const uint8_t* record = stores.translations.data() + pos;
    size_t head = 1;
    if (record[0] == 0) {
      FUZZ_CHECK(pos + 3 <= stores.translations.size());
      head = kLongTranslationHead;
    }
    const size_t length = translation_record_length(record);
    FUZZ_CHECK(length >= head && pos + length <= stores.translations.size());
    FUZZ_CHECK(length < format::kChunkLimit);
    const size_t text = length - head;
    // Short records hold up to 254 bytes, long ones more.
    FUZZ_CHECK(head == 1 ? text <= kMaxShortTranslation : text > kMaxShortTranslation);
    if (unicode) FUZZ_CHECK(text % 2 == 0);
    pos += length;
  }
  FUZZ_CHECK(pos == stores.translations.size());
}

void check_chunks(const TextStores& stores, ChunkKind kind) {
  uint32_t next = 0;
  size_t offset = 0;
  for (const ChunkSpan& chunk : plan_chunks(stores, kind)) {
    FUZZ_CHECK(chunk.first == next && chunk.offset == offset);
    FUZZ_CHECK(chunk.count > 0 && chunk.size > 0 && chunk.size < format::kChunkLimit);
    next += chunk.count;
    offset += chunk.size;
  }
  FUZZ_CHECK(next == stores.entry_count);
}

void check_table(const WordTable& table, uint32_t entries) {
  uint64_t covered = 0;
  for (const PrefixNode& node : table.levels[0]) {
    FUZZ_CHECK(node.from == covered && node.num > 0);
    covered += node.num;
  }
  FUZZ_CHECK(covered == entries);
  for (int level = 0; level + 1 < format::kTableLevels; ++level) {
    for (const PrefixNode& node : table.levels[level]) {
      if (node.childs == 0) continue;
      FUZZ_CHECK(node.num > format::kSplitThreshold);
      uint64_t sum = 0;
      uint64_t from = node.from;
      for (uint32_t c = 0; c < node.childs; ++c) {
        const PrefixNode& child = table.levels[level + 1].at(node.first_child + c);
        FUZZ_CHECK(child.from == from);
        from += child.num;
        sum += child.num;
      }
      FUZZ_CHECK(sum == node.num);
    }
  }
  FUZZ_CHECK(table_record_bytes(table).size() == 2 + format::kTableNodeSize * table.node_count());
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
      FUZZ_CHECK(line.size() >= (unicode ? 4u : 3u));
      FUZZ_CHECK(line[line.size() - 2] == '\r' && line[line.size() - 1] == '\n');
    });
  } catch (const FatalError& e) {
    FUZZ_CHECK(e.exit_status() == 1);
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
    FUZZ_CHECK(e.exit_status() == 1);  // more nodes than the table record holds
  }
  return 0;
}
