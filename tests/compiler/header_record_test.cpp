// Record 0: record numbers, counts, flags and the CRC.
#include "compiler/header_record.h"

#include <gtest/gtest.h>

#include "compiler/byte_order.h"
#include "compiler/compiler_test_util.h"
#include "compiler/crc32.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

using Bytes = std::vector<uint8_t>;

CompilerState state_of(uint32_t entries, uint32_t w, uint32_t t, PresenceFlags present = {}) {
  CompilerState state;
  state.stores.entry_count = entries;
  state.words_records = w;
  state.trans_records = t;
  state.present = present;
  return state;
}

Bytes bytes_of(const std::array<uint8_t, 550>& record) { return {record.begin(), record.end()}; }

TEST(HeaderRecord, ThreeEntriesInOneRecordOfEachKind) {
  const Bytes record = bytes_of(header_record_bytes(state_of(3, 1, 1), 0, 0));
  Bytes expected = hex_bytes("00 00 00 01 00 01 00 01 00 02 00 03 00 04 00 05");
  expected.resize(26);
  const Bytes count = hex_bytes("00 00 00 03");
  expected.insert(expected.end(), count.begin(), count.end());
  expected.resize(546);
  const Bytes crc = hex_bytes("09 09 D2 90");
  expected.insert(expected.end(), crc.begin(), crc.end());
  EXPECT_EQ(to_hex(record), to_hex(expected));
  EXPECT_EQ(crc32(record), kCrc32Residue);
}

TEST(HeaderRecord, OptionalRecordsAreNumberedInTheirAppendOrder) {
  const PresenceFlags all{true, true, true, true, true};
  const Bytes record = bytes_of(header_record_bytes(state_of(3, 1, 1, all), 0, 0));
  EXPECT_EQ(get_be16(record.data() + 16), 6) << "about";
  EXPECT_EQ(get_be16(record.data() + 18), 7) << "abbreviations";
  EXPECT_EQ(get_be16(record.data() + 22), 8) << "word-list font";
  EXPECT_EQ(get_be16(record.data() + 20), 9) << "translation font";
  EXPECT_EQ(get_be16(record.data() + 24), 10) << "keyboard";

  PresenceFlags some;
  some.has_about = true;
  some.has_font_trans = true;
  const Bytes other = bytes_of(header_record_bytes(state_of(3, 3, 5, some), 0, 0));
  EXPECT_EQ(get_be16(other.data() + 14), 7);
  EXPECT_EQ(Bytes(other.begin() + 16, other.begin() + 26),
            hex_bytes("00 0C 00 00 00 0D 00 00 00 00"));
  EXPECT_EQ(crc32(other), kCrc32Residue);
}

TEST(HeaderRecord, UnicodeAndLargeFontFlags) {
  const Bytes record = bytes_of(header_record_bytes(state_of(70000, 2, 9), 1, 1));
  EXPECT_EQ(Bytes(record.begin() + 26, record.begin() + 42),
            hex_bytes("00 01 11 70 00 00 00 00 00 00 00 01 00 00 00 01"));
  EXPECT_EQ(get_be16(record.data() + 14), 6);
  EXPECT_EQ(Bytes(record.begin() + 42, record.begin() + 546), Bytes(504, 0));
  EXPECT_EQ(crc32(record), kCrc32Residue);
  EXPECT_EQ(get_le32(record.data() + 546), crc32(std::span(record).first(546)))
      << "the CRC is stored least significant byte first";
}

TEST(HeaderRecord, IsWrittenToTheWorkFolderOrTheBuildStops) {
  TempDir work;
  Settings settings = init_settings_with_work_folder(work.path());
  StringConsole console;
  Log log;
  BuildContext context{settings, console, log};
  settings.largefont = 1;
  const CompilerState state = state_of(3, 1, 1);
  write_header_record(context, state);
  EXPECT_EQ(read_bytes(work.file("rec_0.bin")), bytes_of(header_record_bytes(state, 0, 1)));

  settings.work_folder = work.file("gone");
  EXPECT_EQ(fatal_text([&] { write_header_record(context, state); }),
            "lexbuild error: could not write the work file '" + work.file("gone/rec_0.bin") +
                "': No such file or directory; check the work folder\n");
}

}  // namespace
}  // namespace lexbuild::testing
