// Packing compressed chunks into chunk records and the index record, in
// memory. All numbers are big-endian.
//
//   record header (110 bytes):
//     u16 chunk count (0 to 10), u32 first entry of the first chunk (0 when
//     empty), u32 total entries, then ten 10-byte chunk descriptors (unused
//     ones zero): u16 offset of the chunk in the record, u16 its size rounded
//     up to an even number, u32 its first entry, u16 its entry count
//   chunk record: its header, then the chunks in slot order from offset
//     110, each followed by a zero byte when its length is odd
//   index record: the headers of all chunk records of a kind, in order
//
// A record takes ten chunks, or fewer when the next one would not fit the
// 65,535 bytes a record may hold. The last record of a kind takes the rest
// and is an empty 110-byte record when nothing is left for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "compiler/chunk_files.h"
#include "compiler/format.h"
#include "compiler/word_table.h"

namespace lexbuild {

/// An index record lists at most this many record headers within the
/// 65,535 bytes of a record.
inline constexpr size_t kMaxChunkRecords = format::kMaxRecordSize / format::kRecordHeaderSize;
static_assert(kMaxChunkRecords == 595);

/// The longest chunk that fits a record of its own, its pad byte included.
inline constexpr size_t kMaxChunkBytes =
    (format::kMaxRecordSize - format::kRecordHeaderSize) & ~size_t{1};
static_assert(kMaxChunkBytes == 65424);

/// Where a chunk went: the chunk record's number within its kind and the
/// chunk's slot (0 to 9) in it.
struct ChunkPlacement {
  uint32_t first = 0;
  uint32_t count = 0;
  uint16_t record = 0;
  uint8_t slot = 0;
};

class RecordPacker {
 public:
  /// Receives every chunk record as it is closed, with its number.
  using RecordSink = std::function<void(uint32_t number, std::span<const uint8_t> record)>;

  RecordPacker(ChunkKind kind, RecordSink sink);

  /// Adds the chunk of `count` entries from entry `first` (the entry after
  /// the previous chunk's last) holding `data`, and returns where it went.
  /// Fatal when the kind would need more than 595 chunk records, and for a
  /// chunk that no record can hold or that does not follow the previous one.
  ChunkPlacement add_chunk(uint32_t first, uint32_t count, std::span<const uint8_t> data);

  /// Closes the last record, even an empty one. Call once, after the last chunk.
  void finish();

  /// The entry after the last chunk added.
  uint32_t next_entry() const { return next_entry_; }
  /// Records closed so far: after finish(), the kind's W or T.
  uint32_t record_count() const { return record_number_; }
  /// The index record: the headers of the closed records.
  const std::vector<uint8_t>& index() const { return index_; }

 private:
  void close_record();

  ChunkKind kind_;
  RecordSink sink_;
  std::vector<uint8_t> record_;  // the record being filled, header first
  size_t chunks_ = 0;            // in the record being filled
  uint32_t record_first_ = 0;
  uint32_t record_entries_ = 0;
  uint32_t record_number_ = 0;
  uint32_t next_entry_ = 0;
  std::vector<uint8_t> index_;
};

/// Links every node of `table` whose first entry lies in a placed chunk to
/// that chunk's record and slot: words_record and words_slot for words
/// chunks, trans_record and trans_slot for translations chunks. `placements`
/// are in entry order.
void link_word_table(WordTable& table, std::span<const ChunkPlacement> placements, ChunkKind kind);

}  // namespace lexbuild
