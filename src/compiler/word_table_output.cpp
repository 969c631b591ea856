// The word table's two files: the "_tableDebug.txt" trace and the
// "rec_tab.bin" record.
#include <algorithm>
#include <cstdio>

#include "compiler/byte_order.h"
#include "compiler/word_table.h"
#include "compiler/work_files.h"
#include "driver/report.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

void append_counts(std::string& text, const PrefixNode& node, bool with_childs) {
  char buffer[96];
  const int n = with_childs
                    ? std::snprintf(buffer, sizeof buffer, " from=%06ld num=%06ld childs=%06ld",
                                    static_cast<long>(node.from) + 1, static_cast<long>(node.num),
                                    static_cast<long>(node.childs))
                    : std::snprintf(buffer, sizeof buffer, " from=%06ld num=%06ld",
                                    static_cast<long>(node.from) + 1, static_cast<long>(node.num));
  text.append(buffer, static_cast<size_t>(n));
}

}  // namespace

// Key bytes are written raw, a zero byte included; `from` counts from 1.
//
//   for each level-4 node over the split threshold:
//     "\nNot supported: " "\n<4 key bytes> from=%06ld num=%06ld" "\n---------------"
//   then one line per node in depth-first order:
//     "\n" <level TABs> <level key bytes> " from=%06ld num=%06ld childs=%06ld"
std::string table_dump_text(const WordTable& table) {
  std::string text;
  for (const PrefixNode& node : table.levels[format::kTableLevels - 1]) {
    if (node.num <= format::kSplitThreshold) continue;
    text += "\nNot supported: \n";
    text.append(node.key.begin(), node.key.end());
    append_counts(text, node, false);
    text += "\n---------------";
  }
  table.for_each_depth_first([&text](int level, const PrefixNode& node) {
    text += '\n';
    text.append(static_cast<size_t>(level), '\t');
    text.append(node.key.begin(), node.key.begin() + level);
    append_counts(text, node, true);
  });
  return text;
}

// "rec_tab.bin", all numbers big-endian:
//
//   offset 0  u16 N, the number of nodes in all four levels
//   offset 2  N node records of 16 bytes, in depth-first order:
//               4 key bytes, u16 num, u16 words_record, u16 trans_record,
//               u8 words_slot, u8 trans_slot, u32 from
std::vector<uint8_t> table_record_bytes(const WordTable& table) {
  const size_t n = table.node_count();
  if (n > kMaxTableNodes) {
    report_fatal(
        "the word table needs more than %zu nodes, the most its record can hold: the "
        "dictionary is too large; split it into smaller dictionaries\n",
        kMaxTableNodes);
  }
  std::vector<uint8_t> bytes(2 + format::kTableNodeSize * n);
  put_be16(bytes.data(), static_cast<uint16_t>(n));
  uint8_t* out = bytes.data() + 2;
  table.for_each_depth_first([&out](int, const PrefixNode& node) {
    std::copy(node.key.begin(), node.key.end(), out);
    put_be16(out + 4, static_cast<uint16_t>(node.num));
    put_be16(out + 6, node.words_record);
    put_be16(out + 8, node.trans_record);
    out[10] = node.words_slot;
    out[11] = node.trans_slot;
    put_be32(out + 12, node.from);
    out += format::kTableNodeSize;
  });
  return bytes;
}

void write_table_dump(BuildContext& context, const WordTable& table) {
  const std::string path = context.settings.work_path(kTableDumpFile);
  platform::OutputFile file;
  if (!file.create(path, platform::FileMode::kText)) {
    context.log.write_log("Error: %s file wasn't created, %s\n", path.c_str(),
                          platform::error_text(file.error_code()).c_str());
    return;
  }
  file.write(table_dump_text(table));
  if (!file.close()) {
    context.log.write_log("Error: %s file wasn't written, %s\n", path.c_str(),
                          platform::error_text(file.error_code()).c_str());
  }
}

void write_table_record(const BuildContext& context, const WordTable& table) {
  write_work_file(context.settings, kTableRecordFile, table_record_bytes(table));
}

}  // namespace lexbuild
