// A dictionary database read back the way the handheld reader reads it:
// the header record, the word table, the index records and the chunk
// records, with chunks decoded on demand.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "lexdump/dictionary_records.h"
#include "lexdump/pdb_file.h"

namespace lexbuild::dump {

enum class Kind { kWords, kTrans };

/// One chunk as its descriptor and its chunk record place it.
struct ChunkRef {
  Kind kind = Kind::kWords;
  size_t record = 0;  // number within its kind
  size_t slot = 0;
  ChunkDescriptor descriptor;
  std::span<const uint8_t> data;  // the descriptor's bytes, clipped to the record
};

struct DecodedChunk {
  bool ok = false;
  std::string error;
  std::vector<uint8_t> raw;
  size_t consumed = 0;  // stream bytes up to the end marker
};

/// One entry's texts as stored (8-bit bytes, or UTF-16LE without the word's
/// trailing zero byte).
struct StoredEntry {
  std::vector<uint8_t> word;
  std::vector<uint8_t> translation;
};

class Dictionary {
 public:
  /// Reads the container and the dictionary's structure. Nothing (with
  /// findings) when the file is not a readable dictionary at all.
  static std::optional<Dictionary> open(std::vector<uint8_t> bytes, Findings& findings);

  const PdbFile& pdb() const { return pdb_; }
  const HeaderRecord& header() const { return header_; }
  const std::optional<WordTable>& table() const { return table_; }
  bool unicode() const { return header_.unicode_flag != 0; }

  /// Chunk records of a kind, by the header record's numbering.
  size_t record_count(Kind kind) const;
  /// Database record number of chunk record `index` of a kind.
  size_t record_number(Kind kind, size_t index) const;
  std::span<const uint8_t> chunk_record(Kind kind, size_t index) const;
  std::span<const uint8_t> index_record(Kind kind) const;
  /// The record headers at the start of the kind's chunk records.
  std::vector<RecordHeader> record_headers(Kind kind) const;
  /// Every chunk of a kind, in record and slot order.
  std::vector<ChunkRef> chunks(Kind kind) const;

  /// Decodes a chunk; a chunk decodes to fewer than 8192 bytes.
  static DecodedChunk decode(const ChunkRef& chunk);

  /// Splits a decoded chunk into its records' texts. Nothing when the bytes
  /// do not divide into whole records.
  std::optional<std::vector<std::vector<uint8_t>>> split_records(
      Kind kind, std::span<const uint8_t> raw) const;

  /// What keeps the chunk records from being read whole: records outside
  /// the file (a truncated database), chunk records missing or without
  /// their header, chunks beyond their record. Nothing when none of that.
  std::optional<std::string> damage() const;

  /// Every entry, in stored order. Fails on damage, on the first chunk that
  /// does not decode or split, and when the entries are fewer or more than
  /// the header record counts, with `error` saying which.
  std::optional<std::vector<StoredEntry>> entries(std::string& error) const;

 private:
  PdbFile pdb_;
  Findings container_damage_;  // records of the file that lie outside it
  HeaderRecord header_;
  std::optional<WordTable> table_;
};

/// A stored text as UTF-8 (UTF-16 dictionaries) or as its bytes (8-bit).
std::string display_text(std::span<const uint8_t> text, bool unicode);

}  // namespace lexbuild::dump
