#include "compiler/record_packing.h"

#include <cstdio>
#include <unordered_map>
#include <vector>

#include "compiler/record_packer.h"
#include "compiler/work_files.h"
#include "driver/report.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

// The numbers the log gives each failure.
constexpr int kReadLogLine = 1115;
constexpr int kFullRecordCreateLine = 1191;
constexpr int kFullRecordWriteLine = 1195;
constexpr int kLastRecordCreateLine = 1216;
constexpr int kLastRecordWriteLine = 1220;
constexpr int kIndexWriteLine = 1228;

struct ChunkFile {
  std::string name;
  uint32_t count = 0;
};

// The kind's chunk files by their first entry. One listing serves the whole
// pass, instead of a search of the folder for every chunk.
std::unordered_map<uint32_t, ChunkFile> list_chunk_files(const Settings& settings, ChunkKind kind) {
  std::unordered_map<uint32_t, ChunkFile> files;
  const std::string pattern = std::string(kind_name(kind)) + "_*.bin";
  for (std::string& name : platform::list_matching(settings.work_folder, pattern)) {
    const auto parsed = parse_chunk_file_name(kind, name);
    if (!parsed) continue;  // not a name that chunking writes
    // Of two files for the same entry, the first in name order is taken.
    files.try_emplace(parsed->first, ChunkFile{std::move(name), parsed->count});
  }
  return files;
}

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

uint32_t pack_records(BuildContext& context, WordTable& table, ChunkKind kind,
                      uint32_t entry_count) {
  const Settings& settings = context.settings;
  const auto files = list_chunk_files(settings, kind);

  bool last_record = false;
  RecordPacker packer(kind, [&](uint32_t number, std::span<const uint8_t> record) {
    write_packed_file(context, chunk_record_file_name(kind, number), record,
                      last_record ? kLastRecordCreateLine : kFullRecordCreateLine,
                      last_record ? kLastRecordWriteLine : kFullRecordWriteLine);
  });

  std::vector<ChunkPlacement> placements;
  std::vector<std::string> consumed;
  std::vector<uint8_t> data;
  // Each chunk starts at the entry after the previous one's last.
  while (packer.next_entry() < entry_count) {
    const auto found = files.find(packer.next_entry());
    if (found == files.end()) {
      // Without it the dictionary would lack entries and still look whole.
      report_fatal(
          "the chunk file %s_%06u_*.bin is missing from the work folder %s, so entries %u to %u "
          "cannot be stored; build again\n",
          kind_name(kind).data(), packer.next_entry(), settings.work_folder.c_str(),
          packer.next_entry() + 1, entry_count);
    }
    // cppcheck-suppress derefInvalidIteratorRedundantCheck ; report_fatal above does not return
    const ChunkFile& chunk = found->second;
    const std::string path = settings.work_path(chunk.name);
    int error = 0;
    if (!platform::read_file(path, data, &error)) {
      context.log.write_log("Error: read failed, line %d\n", kReadLogLine);
      report_fatal("could not read the chunk file %s: %s; build again\n", path.c_str(),
                   platform::error_text(error).c_str());
    }
    if (data.size() > kMaxChunkBytes) {
      report_fatal("the chunk file %s is %zu bytes long, more than a record can hold\n",
                   path.c_str(), data.size());
    }
    placements.push_back(packer.add_chunk(found->first, chunk.count, data));
    consumed.push_back(path);
  }
  if (packer.next_entry() != entry_count) {
    report_fatal(
        "the %s chunk files in the work folder %s hold %u entries, but the dictionary has %u; "
        "build again\n",
        kind_name(kind).data(), settings.work_folder.c_str(), packer.next_entry(), entry_count);
  }
  last_record = true;
  packer.finish();

  const char* index_name = kind == ChunkKind::kWords ? kWordsIndexFile : kTransIndexFile;
  write_packed_file(context, index_name, packer.index(), kIndexWriteLine, kIndexWriteLine);

  // The chunk files go once the pass has written its records: on some file
  // systems every file created soon after many deletions costs a search
  // past the freed entries, so deleting as we go would slow the records down.
  if (!settings.debug) {
    for (const std::string& path : consumed) {
      if (!platform::remove_file(path)) {
        context.log.write_log("Error: %s file wasn't deleted\n", path.c_str());
      }
    }
  }
  link_word_table(table, placements, kind);
  return packer.record_count();
}

}  // namespace lexbuild
