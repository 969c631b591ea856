#include "compiler/record_packing.h"

#include <cstdio>
#include <utility>

#include "compiler/work_files.h"
#include "driver/report.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

// The numbers the log gives each failure.
constexpr int kFullRecordCreateLine = 1191;
constexpr int kFullRecordWriteLine = 1195;
constexpr int kLastRecordCreateLine = 1216;
constexpr int kLastRecordWriteLine = 1220;
constexpr int kIndexWriteLine = 1228;

void write_packed_file(BuildContext& context, const std::string& name,
                       std::span<const uint8_t> bytes, int create_line, int write_line) {
  const std::string path = context.settings.work_path(name);
  platform::OutputFile file;
  if (!file.create(path)) {
    context.log.write_log("Error: %s file wasn't created, line %d\n", path.c_str(), create_line);
    report_fatal("could not create the record file %s: %s; check the work folder\n", path.c_str(),
                 platform::error_text(file.error_code()).c_str());
  }
  file.write(bytes);
  if (!file.close()) {
    platform::remove_file(path);  // a partial record is of no use
    context.log.write_log("Error: write to file failed, line %d\n", write_line);
    report_fatal("could not write the record file %s: %s; check the space in the work folder\n",
                 path.c_str(), platform::error_text(file.error_code()).c_str());
  }
}

}  // namespace

std::string chunk_record_file_name(ChunkKind kind, uint32_t number) {
  char name[64];
  const int n = std::snprintf(name, sizeof name, "rec_%s_%06lu.bin", kind_name(kind).data(),
                              static_cast<unsigned long>(number));
  return std::string(name, static_cast<size_t>(n));
}

ChunkPacking::ChunkPacking(ChunkKind kind, size_t expected_bytes)
    : packer_(kind, [this](uint32_t, std::span<const uint8_t> record) {
        packed_.records.append(record);
      }) {
  packed_.kind = kind;
  packed_.records.reserve(expected_bytes);
}

void ChunkPacking::add_chunk(uint32_t first, uint32_t count, std::span<const uint8_t> data) {
  packed_.placements.push_back(packer_.add_chunk(first, count, data));
}

PackedChunks ChunkPacking::finish() {
  packer_.finish();
  packed_.index = packer_.index();
  packed_.entries = packer_.next_entry();
  return std::move(packed_);
}

uint32_t pack_records(BuildContext& context, WordTable& table, PackedChunks packed,
                      uint32_t entry_count, HeldRecords* held) {
  const ChunkKind kind = packed.kind;
  if (packed.entries != entry_count || packed.records.empty()) {
    report_fatal("the %s chunks hold %u entries, but the dictionary has %u; build again\n",
                 kind_name(kind).data(), packed.entries, entry_count);
  }
  const char* index_name = kind == ChunkKind::kWords ? kWordsIndexFile : kTransIndexFile;
  link_word_table(table, packed.placements, kind);
  const auto count = static_cast<uint32_t>(packed.records.size());
  if (held != nullptr) {
    held->hold_run(std::move(packed.records), [kind](size_t number) {
      return chunk_record_file_name(kind, static_cast<uint32_t>(number));
    });
    held->hold(index_name, std::move(packed.index));
    return count;
  }
  const size_t last = packed.records.size() - 1;
  for (size_t number = 0; number <= last; ++number) {
    write_packed_file(context, chunk_record_file_name(kind, static_cast<uint32_t>(number)),
                      packed.records[number],
                      number == last ? kLastRecordCreateLine : kFullRecordCreateLine,
                      number == last ? kLastRecordWriteLine : kFullRecordWriteLine);
  }
  write_packed_file(context, index_name, packed.index, kIndexWriteLine, kIndexWriteLine);
  return count;
}

}  // namespace lexbuild
