// Cutting the text stores into chunks: runs of whole records below 8192
// bytes, each compressed and handed to record packing in memory. With
// --debug each compressed chunk is also left in the work folder as its chunk
// file (compiler/chunk_files.h), for a failed build to be looked into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compiler/chunk_files.h"
#include "compiler/record_packing.h"
#include "compiler/text_stores.h"
#include "driver/build_context.h"

namespace lexbuild {

/// A run of consecutive records of one store.
struct ChunkSpan {
  uint32_t first = 0;  // index of its first entry
  uint32_t count = 0;  // number of entries
  size_t offset = 0;   // of its first record in the store
  size_t size = 0;     // raw bytes, below 8192
};

/// The chunks of a closed store, in entry order: each takes records while
/// its size stays below 8192 bytes, and together they cover every entry.
/// Fatal when a record cannot fit a chunk or runs past the store.
std::vector<ChunkSpan> plan_chunks(const TextStores& stores, ChunkKind kind);

/// The store that chunks of `kind` cut.
std::span<const uint8_t> chunk_store(const TextStores& stores, ChunkKind kind);

/// Cuts the word store into chunks, compresses them on every core and packs
/// them, in entry order, into the words records in memory. With --debug
/// every compressed chunk is also written to "words_%06ld_%05ld.bin" through
/// "2.bin", which is moved to the chunk's name, so no scratch file is left
/// after a chunk. Fatal when a chunk file cannot be written or moved, for
/// 1,000,000 entries or more (the names carry six digits), for a work folder
/// too long for the chunk paths and when the records overflow
/// (RecordPacker::add_chunk).
PackedChunks cut_word_chunks(BuildContext& context, const TextStores& stores);

/// The same for the translation store, into "trans_%06ld_%05ld.bin".
PackedChunks cut_translation_chunks(BuildContext& context, const TextStores& stores);

}  // namespace lexbuild
