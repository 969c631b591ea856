// Reading a Palm OS database file: the 78-byte header, the record list and
// the records' bounds, with every offset checked against the file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lexbuild::dump {

/// A broken rule: its name (stable, for scripts) and what was seen.
struct Finding {
  std::string rule;
  std::string detail;
};
using Findings = std::vector<Finding>;

struct PdbRecord {
  uint32_t offset = 0;
  uint32_t size = 0;
  uint8_t attributes = 0;
  uint32_t unique_id = 0;
};

struct PdbFile {
  std::vector<uint8_t> bytes;
  std::string name;  // up to the first zero byte of the 32-byte field
  bool name_terminated = false;
  uint16_t attributes = 0;
  uint16_t version = 0;
  uint32_t creation_date = 0;
  uint32_t modification_date = 0;
  uint32_t backup_date = 0;
  uint32_t modification_number = 0;
  uint32_t app_info_offset = 0;
  uint32_t sort_info_offset = 0;
  std::string type;
  std::string creator;
  uint16_t record_count = 0;
  std::vector<PdbRecord> records;

  /// The bytes of record `index`; empty when it does not exist.
  std::span<const uint8_t> record(size_t index) const;
};

/// Parses the container. Nothing (with findings) when the header or the
/// record list does not fit the file; records whose bounds are broken are
/// reported and kept with size 0.
std::optional<PdbFile> parse_pdb(std::vector<uint8_t> bytes, Findings& findings);

/// A Palm OS date (seconds since 1904-01-01) as "YYYY-MM-DD HH:MM:SS" UTC.
std::string palm_date_text(uint32_t seconds);

/// A date as lexbuild stores it (the Unix time plus 2,082,859,196 seconds,
/// which is 1904-01-01 plus 3 h 59 min 56 s) as "YYYY-MM-DD HH:MM:SS" UTC.
std::string build_date_text(uint32_t stored);

}  // namespace lexbuild::dump
