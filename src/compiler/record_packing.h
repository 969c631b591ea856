// Packing the chunk files of one kind into chunk records
// "rec_<kind>_%06ld.bin" and the kind's index record ("rec_indW.bin" or
// "rec_indT.bin"); the layouts are in compiler/record_packer.h.
#pragma once

#include <cstdint>
#include <string>

#include "compiler/chunk_files.h"
#include "compiler/word_table.h"
#include "driver/build_context.h"

namespace lexbuild {

/// "rec_words_000000.bin" for the first words chunk record.
std::string chunk_record_file_name(ChunkKind kind, uint32_t number);

/// Packs the chunk files of `kind` from the work folder, in entry order,
/// into its chunk records and its index record, then deletes the chunk files
/// it packed (unless --debug keeps them), and links every node of `table` to the
/// record and slot of the chunk that holds its first entry. Returns the
/// number of chunk records written (W or T, at least 1).
///
/// Fatal when the chunk files do not cover exactly `entry_count` entries
/// (one is missing), when one cannot be read, when a record or the index
/// cannot be written, and when the kind needs more than 595 records.
uint32_t pack_records(BuildContext& context, WordTable& table, ChunkKind kind,
                      uint32_t entry_count);

}  // namespace lexbuild
