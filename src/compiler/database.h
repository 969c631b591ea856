// Database assembly: the record files that the compiler's stages leave in
// the work folder become one Palm OS database (type "DICT", creator "Vlmr").
//
//   offset 0    78-byte header: 32-byte name, u16 attributes 0, u16 version 1,
//               u32 creation and u32 modification date (the same value),
//               zeros up to the type "DICT" and the creator "Vlmr" at 60 and
//               64, zeros, u16 number of records at 76
//   offset 78   record list, 8 bytes a record: u32 data offset, u8
//               attributes 0, 3-byte unique ID 0
//   then        2 zero bytes
//   then        the records back to back, in record order
//
// With N records of sizes s0 ... s(N-1), record k starts at
// 78 + 8N + 2 + s0 + ... + s(k-1). All numbers are big-endian.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/format.h"
#include "compiler/record_run.h"
#include "driver/build_context.h"

namespace lexbuild {

/// The header of a database named `id` (at most its first 31 bytes, then
/// zeros) built at `unix_time` (seconds since 1970) with `record_count` records.
std::array<uint8_t, format::kDbHeaderSize> make_db_header(std::string_view id, int64_t unix_time,
                                                          uint16_t record_count);

/// The record list and the gap for records of the given sizes.
std::vector<uint8_t> record_list_bytes(std::span<const uint32_t> sizes);

/// Record files that a build without --debug keeps in memory instead of
/// writing them to the work folder, by their file names.
class HeldRecords {
 public:
  /// Holds `bytes` as the record file `name`.
  void hold(std::string name, std::vector<uint8_t> bytes);
  /// Holds record k of `run` as the record file `name_of(k)`.
  void hold_run(RecordRun run, const std::function<std::string(size_t)>& name_of);

  /// The record held as `name`, or nothing.
  std::optional<std::span<const uint8_t>> find(std::string_view name) const;
  /// Forgets the name `name`; the bytes stay valid as long as this object.
  void release(std::string_view name);

  /// The names held, in ascending order.
  std::vector<std::string> names() const;
  size_t size() const { return records_.size(); }

 private:
  // The bytes stay where they are when these grow: a moved vector or run
  // keeps its buffer.
  std::vector<std::vector<uint8_t>> buffers_;
  std::vector<RecordRun> runs_;
  std::map<std::string, std::span<const uint8_t>, std::less<>> records_;
};

/// Gathers the records and writes the database in one go. Held records are
/// written from where they are held; records from files are kept here.
class DatabaseAssembly {
 public:
  /// Records named in `held` are taken from it instead of the work folder.
  explicit DatabaseAssembly(BuildContext& context, HeldRecords* held = nullptr);

  /// Appends the record file `name` as the next record: the held one of
  /// that name, else the work-folder file, which is deleted unless --debug
  /// keeps it. A missing file is left out silently. Fatal for a file of
  /// 65536 bytes or more, or one that cannot be read.
  void append_record(const std::string& name);

  /// append_record() for every held record and work-folder file whose name
  /// matches `pattern` ('*' stands for any run of characters), in ascending
  /// name order.
  void append_matching_records(std::string_view pattern);

  size_t record_count() const { return records_.size(); }
  size_t data_total() const { return data_total_; }

  /// Writes the database to `path` when at least one record was appended.
  /// It is written beside `path` under a temporary name and renamed over it,
  /// so a failed write leaves any earlier file of that name as it was.
  /// Fatal when the file cannot be created or written whole.
  void write_database(const std::string& path, std::string_view id, int64_t unix_time);

 private:
  void append_bytes(std::span<const uint8_t> bytes);

  BuildContext& context_;
  HeldRecords* held_;
  std::vector<std::vector<uint8_t>> read_records_;  // the records read from files
  std::vector<std::span<const uint8_t>> records_;   // every record, in database order
  size_t data_total_ = 0;
};

/// Appends every record file (held ones from `held`) in the database's
/// record order and writes the database named by settings.outfile.
void assemble_database(BuildContext& context, HeldRecords* held = nullptr);

}  // namespace lexbuild
