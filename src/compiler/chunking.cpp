#include "compiler/chunking.h"

#include <string>

#include "compiler/compressor.h"
#include "compiler/format.h"
#include "compiler/ordered_parallel.h"
#include "driver/report.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

// The numbers the log gives a scratch file that cannot be created.
constexpr int kWordScratchLogLine = 959;
constexpr int kTransScratchLogLine = 1020;
constexpr int kTransScratchFatalLine = 1022;

/// Compressed chunks waiting to be packed, per worker thread: enough to keep
/// every core busy while they are packed in order.
constexpr size_t kPendingChunksPerWorker = 64;

[[noreturn]] void damaged_store(ChunkKind kind, uint32_t entry) {
  report_fatal("the %s store is damaged at entry %u: a record does not fit the store\n",
               kind == ChunkKind::kWords ? "word" : "translation", entry + 1);
}

// Length of the record at `pos`, checked against the end of the store.
size_t record_length(std::span<const uint8_t> store, size_t pos, ChunkKind kind, uint32_t entry) {
  if (pos >= store.size()) damaged_store(kind, entry);
  size_t length = store[pos];
  if (kind == ChunkKind::kTranslations && length == 0) {
    // The long form: 0x00 and a big-endian length that counts its 3-byte head.
    if (pos + kLongTranslationHead > store.size()) damaged_store(kind, entry);
    length = translation_record_length(store.data() + pos);
    if (length < kLongTranslationHead) damaged_store(kind, entry);
  }
  if (length == 0 || length > store.size() - pos) damaged_store(kind, entry);
  if (length >= format::kChunkLimit) {
    // No chunk could take it, and the cutting would make no progress.
    report_fatal("the translation of entry %u takes %zu bytes, but a chunk holds at most %zu\n",
                 entry + 1, length, format::kChunkLimit - 1);
  }
  return length;
}

void check_limits(const BuildContext& context, const TextStores& stores) {
  if (stores.entry_count > format::kMaxEntries) {
    report_fatal(
        "the dictionary holds %u entries, but at most %u fit (chunk names number entries in six "
        "digits); split it into smaller dictionaries\n",
        stores.entry_count, format::kMaxEntries);
  }
  const std::string& folder = context.settings.work_folder;
  if (folder.size() > kMaxWorkFolderForChunks) {
    report_fatal(
        "the work folder path %s is %zu characters long; chunk files need one of at most %zu: "
        "set TEMP to a shorter folder\n",
        folder.c_str(), folder.size(), kMaxWorkFolderForChunks);
  }
}

// Writes a compressed chunk to "2.bin" and moves it to the chunk's name.
void write_chunk_file(BuildContext& context, ChunkKind kind, const ChunkSpan& chunk,
                      std::span<const uint8_t> bytes) {
  const Settings& settings = context.settings;
  const std::string scratch = settings.work_path(kCompressedScratchFile);
  const std::string target = settings.work_path(chunk_file_name(kind, chunk.first, chunk.count));

  platform::OutputFile file;
  if (!file.create(scratch)) {
    const int error = file.error_code();
    if (kind == ChunkKind::kTranslations) {
      context.log.write_log("Error: %s file wasn't created, errno = %d, line %d\n", scratch.c_str(),
                            error, kTransScratchLogLine);
      report_fatal("Error: %s file wasn't created, errno = %d, line %d\n", scratch.c_str(), error,
                   kTransScratchFatalLine);
    }
    context.log.write_log("Error: %s file wasn't created, line %d\n", target.c_str(),
                          kWordScratchLogLine);
    report_fatal("could not create %s for the chunk %s: %s; check the work folder\n",
                 scratch.c_str(), target.c_str(), platform::error_text(error).c_str());
  }
  file.write(bytes);
  if (!file.close()) {
    const int error = file.error_code();
    platform::remove_file(scratch);
    context.log.write_log("Error: %s file wasn't written, %s\n", scratch.c_str(),
                          platform::error_text(error).c_str());
    report_fatal("could not write the chunk %s: %s; check the space in the work folder\n",
                 target.c_str(), platform::error_text(error).c_str());
  }
  int error = 0;
  if (!platform::rename_file(scratch, target, &error)) {
    platform::remove_file(scratch);
    context.log.write_log("Error: %s file wasn't moved to %s, %s\n", scratch.c_str(),
                          target.c_str(), platform::error_text(error).c_str());
    report_fatal("could not move %s to %s: %s; check the work folder\n", scratch.c_str(),
                 target.c_str(), platform::error_text(error).c_str());
  }
}

PackedChunks cut_chunks(BuildContext& context, const TextStores& stores, ChunkKind kind) {
  check_limits(context, stores);
  const std::vector<ChunkSpan> chunks = plan_chunks(stores, kind);
  const std::span<const uint8_t> store = chunk_store(stores, kind);
  const bool keep_files = context.settings.debug;
  // Text that does not compress comes out about an eighth longer (a flag
  // bit for every byte), and each record adds its header.
  ChunkPacking packing(kind, store.size() + store.size() / 8 + format::kMaxRecordSize);
  // Chunks are independent: they are compressed on every core, and packed
  // (and with --debug written) one after another in entry order.
  const size_t workers = worker_count();
  ordered_parallel<std::vector<uint8_t>>(
      chunks.size(), workers, workers * kPendingChunksPerWorker,
      [&](size_t i) { return compress_bytes(store.subspan(chunks[i].offset, chunks[i].size)); },
      [&](size_t i, const std::vector<uint8_t>& bytes) {
        if (keep_files) write_chunk_file(context, kind, chunks[i], bytes);
        packing.add_chunk(chunks[i].first, chunks[i].count, bytes);
      });
  return packing.finish();
}

}  // namespace

std::span<const uint8_t> chunk_store(const TextStores& stores, ChunkKind kind) {
  return kind == ChunkKind::kWords ? std::span<const uint8_t>(stores.words)
                                   : std::span<const uint8_t>(stores.translations);
}

std::vector<ChunkSpan> plan_chunks(const TextStores& stores, ChunkKind kind) {
  const std::span<const uint8_t> store = chunk_store(stores, kind);
  std::vector<ChunkSpan> chunks;
  ChunkSpan chunk;
  size_t pos = 0;
  for (uint32_t entry = 0; entry < stores.entry_count; ++entry) {
    const size_t length = record_length(store, pos, kind, entry);
    // A record that would bring the chunk to 8192 bytes starts the next one.
    if (chunk.count > 0 && chunk.size + length >= format::kChunkLimit) {
      chunks.push_back(chunk);
      chunk = ChunkSpan{entry, 0, pos, 0};
    }
    chunk.size += length;
    ++chunk.count;
    pos += length;
  }
  if (chunk.count > 0) chunks.push_back(chunk);
  return chunks;
}

PackedChunks cut_word_chunks(BuildContext& context, const TextStores& stores) {
  return cut_chunks(context, stores, ChunkKind::kWords);
}

PackedChunks cut_translation_chunks(BuildContext& context, const TextStores& stores) {
  return cut_chunks(context, stores, ChunkKind::kTranslations);
}

}  // namespace lexbuild
