#include "lexdump/pdb_file.h"

#include <chrono>
#include <cstdio>

#include "compiler/byte_order.h"
#include "compiler/format.h"

namespace lexbuild::dump {

namespace fmt = lexbuild::format;

std::span<const uint8_t> PdbFile::record(size_t index) const {
  if (index >= records.size()) return {};
  const PdbRecord& r = records[index];
  return std::span<const uint8_t>(bytes).subspan(r.offset, r.size);
}

namespace {

// What every Palm database begins with: a name of at most 31 characters
// ended by a zero byte, and a type and a creator of four printable
// characters. A file without them is some other file, not a damaged
// database, and its "record list" means nothing.
bool has_palm_header(const uint8_t* h) {
  bool terminated = false;
  for (size_t i = 0; i < fmt::kDbNameSize && !terminated; ++i) terminated = h[i] == 0;
  for (size_t i = fmt::kDbTypeOffset; i < fmt::kDbCreatorOffset + 4; ++i) {
    if (h[i] < 0x20 || h[i] > 0x7E) return false;
  }
  return terminated;
}

constexpr char kNotPalm[] = "not a Palm database";

}  // namespace

std::optional<PdbFile> parse_pdb(std::vector<uint8_t> bytes, Findings& findings) {
  if (bytes.size() < fmt::kDbHeaderSize) {
    findings.push_back({"header-bounds", std::string(kNotPalm) + ": the file holds " +
                                             std::to_string(bytes.size()) +
                                             " bytes, fewer than the 78-byte database header"});
    return std::nullopt;
  }
  if (!has_palm_header(bytes.data())) {
    findings.push_back({"database-header", std::string(kNotPalm) +
                                               ": its first 78 bytes have no name field ended "
                                               "by a zero byte, type and creator"});
    return std::nullopt;
  }
  PdbFile pdb;
  const uint8_t* h = bytes.data();
  size_t name_length = 0;
  while (name_length < fmt::kDbNameSize && h[name_length] != 0) ++name_length;
  pdb.name.assign(reinterpret_cast<const char*>(h), name_length);
  pdb.name_terminated = name_length < fmt::kDbNameSize;
  pdb.attributes = get_be16(h + fmt::kDbAttributesOffset);
  pdb.version = get_be16(h + fmt::kDbVersionOffset);
  pdb.creation_date = get_be32(h + fmt::kDbCreationDateOffset);
  pdb.modification_date = get_be32(h + fmt::kDbModificationDateOffset);
  pdb.backup_date = get_be32(h + fmt::kDbBackupDateOffset);
  pdb.modification_number = get_be32(h + fmt::kDbModificationNumberOffset);
  pdb.app_info_offset = get_be32(h + fmt::kDbAppInfoOffset);
  pdb.sort_info_offset = get_be32(h + fmt::kDbSortInfoOffset);
  pdb.type.assign(reinterpret_cast<const char*>(h + fmt::kDbTypeOffset), 4);
  pdb.creator.assign(reinterpret_cast<const char*>(h + fmt::kDbCreatorOffset), 4);
  pdb.record_count = get_be16(h + fmt::kDbRecordCountOffset);

  const size_t list_end = fmt::kDbHeaderSize + fmt::kRecordEntrySize * pdb.record_count;
  const size_t data_start = list_end + fmt::kRecordListGap;
  if (bytes.size() < list_end) {
    findings.push_back(
        {"record-list-bounds", "the database is truncated: the record list of " +
                                   std::to_string(pdb.record_count) + " entries ends at byte " +
                                   std::to_string(list_end) + ", beyond the end of the file (" +
                                   std::to_string(bytes.size()) + " bytes)"});
    return std::nullopt;
  }
  pdb.records.resize(pdb.record_count);
  for (size_t i = 0; i < pdb.record_count; ++i) {
    const uint8_t* e = h + fmt::kDbHeaderSize + fmt::kRecordEntrySize * i;
    pdb.records[i].offset = get_be32(e);
    pdb.records[i].attributes = e[4];
    pdb.records[i].unique_id = (uint32_t{e[5]} << 16) | (uint32_t{e[6]} << 8) | e[7];
  }
  // Each record runs to the next one's offset, the last to the end of the file.
  for (size_t i = 0; i < pdb.record_count; ++i) {
    PdbRecord& r = pdb.records[i];
    const uint64_t end = i + 1 < pdb.record_count ? pdb.records[i + 1].offset : bytes.size();
    if (r.offset < data_start || r.offset > bytes.size() || end < r.offset || end > bytes.size()) {
      const std::string file_end = " the end of the file (" + std::to_string(bytes.size()) +
                                   " bytes): the database is truncated";
      std::string detail = "record " + std::to_string(i) + " at offset " + std::to_string(r.offset);
      if (r.offset > bytes.size()) {
        detail += " lies beyond" + file_end;
      } else if (r.offset >= data_start && end > bytes.size()) {
        detail += " runs to offset " + std::to_string(end) + ", past" + file_end;
      } else {
        detail += " lies outside the record data";
      }
      findings.push_back({"record-bounds", detail});
      r.offset = 0;
      r.size = 0;
      continue;
    }
    r.size = static_cast<uint32_t>(end - r.offset);
  }
  pdb.bytes = std::move(bytes);
  return pdb;
}

namespace {

std::string calendar_text(int64_t unix_seconds) {
  const auto days = std::chrono::floor<std::chrono::days>(
      std::chrono::sys_seconds(std::chrono::seconds(unix_seconds)));
  const std::chrono::year_month_day ymd(days);
  const int64_t in_day = unix_seconds - days.time_since_epoch().count() * 86400LL;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                static_cast<int>(in_day / 3600), static_cast<int>(in_day / 60 % 60),
                static_cast<int>(in_day % 60));
  return text;
}

}  // namespace

std::string palm_date_text(uint32_t seconds) {
  // 1904-01-01 lies 2,082,844,800 seconds before 1970-01-01.
  return calendar_text(static_cast<int64_t>(seconds) - 2082844800LL);
}

std::string build_date_text(uint32_t stored) {
  return calendar_text(static_cast<int64_t>(stored) - fmt::kDateOffset);
}

}  // namespace lexbuild::dump
