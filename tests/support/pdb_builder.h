// Dictionary databases assembled in memory for tests, and their records read back.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace lexbuild::testing {

/// A 550-byte header record as a build of `items` entries with one words
/// record, one translations record and no optional records writes it,
/// sealed with a valid CRC.
std::vector<uint8_t> header_record(uint32_t items = 3);

/// Stores the CRC of bytes 0 to 545 at 546, least significant byte first.
void seal_header_record(std::vector<uint8_t>& record);

/// A database: the 78-byte header (named `name`, type DICT, creator Vlmr,
/// version 1, both dates `date`), the record list, the gap and `records`.
std::vector<uint8_t> build_pdb(const std::vector<std::vector<uint8_t>>& records,
                               std::string_view name = "Test", uint32_t date = 0xB7C0B2BC);

/// A small database shaped like a real build: a sealed header record, then
/// five records of distinct sizes and contents.
std::vector<uint8_t> sample_pdb();

struct PdbContents {
  std::vector<uint8_t> header;                // the 78 bytes
  std::vector<uint32_t> offsets;              // data offset of each record
  std::vector<std::vector<uint8_t>> records;  // each runs to the next offset, the last to the end
};

/// Splits a database into its header and records; throws when the layout is broken.
PdbContents split_pdb(const std::vector<uint8_t>& image);

}  // namespace lexbuild::testing
