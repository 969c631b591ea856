#include "compiler/record_packer.h"

#include <algorithm>

#include "compiler/byte_order.h"
#include "driver/report.h"

namespace lexbuild {
namespace {

constexpr size_t kChunkCountOffset = 0;
constexpr size_t kRecordFirstOffset = 2;
constexpr size_t kRecordEntriesOffset = 6;
/// A descriptor's entry count is stored in 16 bits.
constexpr uint32_t kMaxChunkEntries = 0xFFFF;

const char* kind_noun(ChunkKind kind) {
  return kind == ChunkKind::kWords ? "words" : "translations";
}

}  // namespace

RecordPacker::RecordPacker(ChunkKind kind, RecordSink sink)
    : kind_(kind), sink_(std::move(sink)), record_(format::kRecordHeaderSize) {
  record_.reserve(format::kMaxRecordSize);
}

ChunkPlacement RecordPacker::add_chunk(uint32_t first, uint32_t count,
                                       std::span<const uint8_t> data) {
  if (first != next_entry_ || count == 0 || count > kMaxChunkEntries) {
    report_fatal(
        "the %s chunk of %u entries from entry %u does not follow the chunk before it, which ends "
        "before entry %u\n",
        kind_name(kind_).data(), count, first + 1, next_entry_ + 1);
  }
  if (data.size() > kMaxChunkBytes) {
    report_fatal("the %s chunk from entry %u is %zu bytes long, more than a record can hold\n",
                 kind_name(kind_).data(), first + 1, data.size());
  }
  // Every chunk takes an even number of bytes: an odd one gets a zero pad byte.
  const size_t size = (data.size() + 1) & ~size_t{1};
  // Offsets, sizes and the record's own size are 16-bit: a chunk that would
  // not fit closes the record early, with fewer than ten chunks.
  if (chunks_ > 0 && record_.size() + size > format::kMaxRecordSize) close_record();

  if (chunks_ == 0) record_first_ = first;
  uint8_t* descriptor =
      record_.data() + format::kFirstDescriptorOffset + chunks_ * format::kChunkDescriptorSize;
  put_be16(descriptor, static_cast<uint16_t>(record_.size()));
  put_be16(descriptor + 2, static_cast<uint16_t>(size));
  put_be32(descriptor + 4, first);
  put_be16(descriptor + 8, static_cast<uint16_t>(count));
  record_.insert(record_.end(), data.begin(), data.end());
  record_.resize(record_.size() + (size - data.size()));

  const ChunkPlacement placement{first, count, static_cast<uint16_t>(record_number_),
                                 static_cast<uint8_t>(chunks_)};
  ++chunks_;
  record_entries_ += count;
  next_entry_ += count;
  if (chunks_ == format::kChunksPerRecord) close_record();
  return placement;
}

void RecordPacker::finish() { close_record(); }

void RecordPacker::close_record() {
  if (record_number_ == kMaxChunkRecords) {
    report_fatal(
        "the dictionary needs more than %zu %s records, the most its index record can list; "
        "split it into smaller dictionaries\n",
        kMaxChunkRecords, kind_noun(kind_));
  }
  put_be16(record_.data() + kChunkCountOffset, static_cast<uint16_t>(chunks_));
  put_be32(record_.data() + kRecordFirstOffset, record_first_);
  put_be32(record_.data() + kRecordEntriesOffset, record_entries_);
  index_.insert(index_.end(), record_.begin(), record_.begin() + format::kRecordHeaderSize);
  sink_(record_number_, record_);

  ++record_number_;
  record_.assign(format::kRecordHeaderSize, 0);
  chunks_ = 0;
  record_first_ = 0;
  record_entries_ = 0;
}

void link_word_table(WordTable& table, std::span<const ChunkPlacement> placements, ChunkKind kind) {
  for (auto& level : table.levels) {
    for (PrefixNode& node : level) {
      // The last chunk that starts at or before the node's first entry.
      auto it = std::upper_bound(
          placements.begin(), placements.end(), node.from,
          [](uint32_t from, const ChunkPlacement& chunk) { return from < chunk.first; });
      if (it == placements.begin()) continue;
      --it;
      if (node.from - it->first >= it->count) continue;  // beyond the last chunk
      if (kind == ChunkKind::kWords) {
        node.words_record = it->record;
        node.words_slot = it->slot;
      } else {
        node.trans_record = it->record;
        node.trans_slot = it->slot;
      }
    }
  }
}

}  // namespace lexbuild
