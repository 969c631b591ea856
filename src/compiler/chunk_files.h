// The chunk files that chunking leaves in the work folder and record
// packing consumes: "words_%06ld_%05ld.bin" and "trans_%06ld_%05ld.bin",
// named by the chunk's first entry (six digits) and its entry count (five).
// Packing finds each chunk by its first entry and reads the count back from
// the name, so the widths are fixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lexbuild {

enum class ChunkKind { kWords, kTranslations };

/// "words" or "trans": both five letters, so the two name shapes align.
std::string_view kind_name(ChunkKind kind);

/// "words_000120_00050.bin" for the words chunk of 50 entries from entry 120.
std::string chunk_file_name(ChunkKind kind, uint32_t first, uint32_t count);

struct ChunkFileName {
  uint32_t first = 0;
  uint32_t count = 0;
};

/// The first entry and count of a chunk file name of `kind`, or nothing when
/// `name` does not have the exact shape.
std::optional<ChunkFileName> parse_chunk_file_name(ChunkKind kind, std::string_view name);

/// A chunk file's path holds at most 255 characters: the 22-character name
/// and its separator leave at most 232 for the work folder.
inline constexpr size_t kMaxChunkPath = 255;
inline constexpr size_t kChunkNameLength = 22;
inline constexpr size_t kMaxWorkFolderForChunks = kMaxChunkPath - kChunkNameLength - 1;
static_assert(kMaxWorkFolderForChunks == 232);

/// Scratch file in the work folder that holds a compressed chunk until it is
/// moved to its chunk file's name.
inline constexpr char kCompressedScratchFile[] = "2.bin";

}  // namespace lexbuild
