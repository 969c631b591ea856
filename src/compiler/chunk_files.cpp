#include "compiler/chunk_files.h"

#include <cstdio>

namespace lexbuild {
namespace {

// "words_" and "_": the first entry's digits start at 6 and the count's at 13.
constexpr size_t kFirstDigits = 6;
constexpr size_t kFirstWidth = 6;
constexpr size_t kCountDigits = 13;
constexpr size_t kCountWidth = 5;

std::optional<uint32_t> digits_at(std::string_view name, size_t start, size_t width) {
  uint32_t value = 0;
  for (size_t i = start; i < start + width; ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(name[i] - '0');
  }
  return value;
}

}  // namespace

std::string_view kind_name(ChunkKind kind) { return kind == ChunkKind::kWords ? "words" : "trans"; }

std::string chunk_file_name(ChunkKind kind, uint32_t first, uint32_t count) {
  char name[64];
  const int n = std::snprintf(name, sizeof name, "%s_%06lu_%05lu.bin", kind_name(kind).data(),
                              static_cast<unsigned long>(first), static_cast<unsigned long>(count));
  return std::string(name, static_cast<size_t>(n));
}

std::optional<ChunkFileName> parse_chunk_file_name(ChunkKind kind, std::string_view name) {
  const std::string_view prefix = kind_name(kind);
  if (name.size() != kChunkNameLength || !name.starts_with(prefix) || name[prefix.size()] != '_' ||
      name[kCountDigits - 1] != '_' || !name.ends_with(".bin")) {
    return std::nullopt;
  }
  const auto first = digits_at(name, kFirstDigits, kFirstWidth);
  const auto count = digits_at(name, kCountDigits, kCountWidth);
  if (!first || !count) return std::nullopt;
  return ChunkFileName{*first, *count};
}

}  // namespace lexbuild
