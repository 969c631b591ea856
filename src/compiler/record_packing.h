// Packing the compressed chunks of one kind into chunk records
// "rec_<kind>_%06ld.bin" and the kind's index record ("rec_indW.bin" or
// "rec_indT.bin"); the layouts are in compiler/record_packer.h.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "compiler/chunk_files.h"
#include "compiler/database.h"
#include "compiler/record_packer.h"
#include "compiler/record_run.h"
#include "compiler/word_table.h"
#include "driver/build_context.h"

namespace lexbuild {

/// "rec_words_000000.bin" for the first words chunk record.
std::string chunk_record_file_name(ChunkKind kind, uint32_t number);

/// The chunk records and the index record of one kind, packed in memory as
/// the compressed chunks come, and where each chunk went.
struct PackedChunks {
  ChunkKind kind = ChunkKind::kWords;
  RecordRun records;  // W or T of them, at least 1 once finished
  std::vector<uint8_t> index;
  std::vector<ChunkPlacement> placements;  // in entry order
  uint32_t entries = 0;                    // covered by the chunks
};

/// Takes the compressed chunks of one kind in entry order and packs them
/// into records held in memory: the only way record bytes are made.
class ChunkPacking {
 public:
  /// `expected_bytes` is about how many bytes the records will take (the
  /// size of the text they compress will do); room for them is reserved.
  explicit ChunkPacking(ChunkKind kind, size_t expected_bytes = 0);
  ChunkPacking(const ChunkPacking&) = delete;  // the packer's sink points here
  ChunkPacking& operator=(const ChunkPacking&) = delete;

  /// The chunk of `count` entries from entry `first` (the entry after the
  /// previous chunk's last), compressed into `data`. Fatal as
  /// RecordPacker::add_chunk is.
  void add_chunk(uint32_t first, uint32_t count, std::span<const uint8_t> data);

  /// Closes the last record, even an empty one, and hands everything over.
  PackedChunks finish();

 private:
  PackedChunks packed_;
  RecordPacker packer_;
};

/// Writes the chunk records and the index record of `packed` to the work
/// folder, or hands them to `held` when it is given (the database assembly
/// takes them from there), and links every node of `table` to the record and
/// slot of the chunk that holds its first entry. Returns the number of chunk records written (W or
/// T, at least 1).
///
/// Fatal when the chunks do not cover exactly `entry_count` entries and when
/// a record or the index cannot be written.
uint32_t pack_records(BuildContext& context, WordTable& table, PackedChunks packed,
                      uint32_t entry_count, HeldRecords* held = nullptr);

}  // namespace lexbuild
