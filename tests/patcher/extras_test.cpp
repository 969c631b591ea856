#include "patcher/extras.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "compiler/byte_order.h"
#include "compiler/crc32.h"
#include "driver/report.h"
#include "support/pdb_builder.h"
#include "support/test_support.h"

namespace lexbuild {
namespace {

using testing::read_bytes;
using testing::split_pdb;
using testing::write_bytes;

class ApplyExtras : public ::testing::Test {
 protected:
  void SetUp() override { write_bytes(db_, original_); }

  // Runs the pass with "lexbuild" and `options`; the fatal report's text, or "" on success.
  std::string run(std::vector<std::string> options) {
    options.insert(options.begin(), "lexbuild");
    Settings settings = init_settings_with_work_folder(dir_.path());
    StringConsole console;
    Log log;
    BuildContext context(settings, console, log);
    try {
      apply_extras(options, db_, context);
    } catch (const FatalError& error) {
      EXPECT_EQ(error.exit_status(), 1);
      return error.output();
    }
    EXPECT_EQ(console.text(), "") << "the pass prints nothing";
    return "";
  }

  std::string font(const std::string& name, const std::vector<uint8_t>& bytes) {
    write_bytes(dir_.file(name), bytes);
    return dir_.file(name);
  }

  std::vector<uint8_t> record0() { return split_pdb(read_bytes(db_)).records[0]; }

  testing::TempDir dir_;
  std::string db_ = dir_.file("Test.pdb");
  std::vector<uint8_t> original_ = testing::sample_pdb();
};

TEST_F(ApplyExtras, WithoutOptionsTheFileIsNotEvenOpened) {
  write_bytes(db_, {1, 2, 3});  // no database at all
  EXPECT_EQ(run({}), "");
  EXPECT_EQ(read_bytes(db_), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(ApplyExtras, AnyOtherOptionVerifiesTheCrcAndChangesNothing) {
  EXPECT_EQ(run({"--debug", "x--pictures_db=p", "--allow_html=0"}), "");
  EXPECT_EQ(read_bytes(db_), original_);
  EXPECT_EQ(testing::list_folder(dir_.path()), std::vector<std::string>{"Test.pdb"});

  std::vector<uint8_t> damaged = original_;
  damaged[128 + 100] ^= 0x40;  // record 0 starts at 128
  write_bytes(db_, damaged);
  EXPECT_EQ(run({"--debug"}), "wrong CRC in file");
  EXPECT_EQ(read_bytes(db_), damaged);
}

TEST_F(ApplyExtras, NameAndFlagLandInTheHeaderRecordWithAFreshCrc) {
  EXPECT_EQ(run({"--pictures_db=" + std::string(36, 'n') + "OVER", "--ALLOW_HTML=-1"}), "");
  const std::vector<uint8_t> r0 = record0();
  EXPECT_EQ(std::string(r0.begin() + 42, r0.begin() + 74), std::string(31, 'n') + '\0');
  EXPECT_EQ(get_be32(r0.data() + 158), 0xFFFFFFFFu);
  EXPECT_EQ(crc32(r0), kCrc32Residue);
  const std::vector<uint8_t> now = read_bytes(db_);
  EXPECT_EQ(now.size(), original_.size()) << "no record added";

  EXPECT_EQ(run({"--allow_html=5"}), "");
  EXPECT_EQ(get_be32(record0().data() + 158), 5u);
  EXPECT_EQ(record0()[42], 'n') << "a name not given again is kept";
  EXPECT_EQ(run({"--allow_html=abc", "--pictures_db=ab"}), "");
  const std::vector<uint8_t> last = record0();
  EXPECT_EQ(get_be32(last.data() + 158), 0u);
  EXPECT_EQ(std::string(last.begin() + 42, last.begin() + 74), "ab" + std::string(30, '\0'))
      << "the rest of the old name is cleared";
}

TEST_F(ApplyExtras, FontsBecomeRecordsNAndNPlusOneInEitherOrder) {
  const std::string text = font("text.fnt", {1, 2, 3, 4, 5});
  const std::string list = font("list.fnt", {9, 8, 7});
  const auto old = split_pdb(original_);
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"--font_textHR=" + text, "--font_listHR=" + list},
        std::vector<std::string>{"--FONT_LISTHR=" + list, "--font_texthr=" + text}}) {
    write_bytes(db_, original_);
    ASSERT_EQ(run(options), "");
    const auto now = split_pdb(read_bytes(db_));
    ASSERT_EQ(now.records.size(), 8u);
    EXPECT_EQ(now.records[6], read_bytes(text));
    EXPECT_EQ(now.records[7], read_bytes(list));
    for (size_t k = 0; k < 6; ++k) EXPECT_EQ(now.offsets[k], old.offsets[k] + 16);
    for (size_t k = 1; k < 6; ++k) EXPECT_EQ(now.records[k], old.records[k]);
    EXPECT_EQ(get_be16(now.records[0].data() + 162), 6);
    EXPECT_EQ(get_be16(now.records[0].data() + 164), 7);
    EXPECT_EQ(crc32(now.records[0]), kCrc32Residue);
  }
  // Only a list font: it is record N.
  write_bytes(db_, original_);
  ASSERT_EQ(run({"--font_listHR=", "--font_listHR=" + list, "--font_listHR=missing"}), "");
  const auto now = split_pdb(read_bytes(db_));
  EXPECT_EQ(now.records.back(), read_bytes(list));
  EXPECT_EQ(get_be16(now.records[0].data() + 162), 0);
  EXPECT_EQ(get_be16(now.records[0].data() + 164), 6);
}

TEST_F(ApplyExtras, AnEmptyFontIsAnEmptyLastRecord) {
  ASSERT_EQ(run({"--font_textHR=" + font("empty.fnt", {})}), "");
  const std::vector<uint8_t> image = read_bytes(db_);
  const auto now = split_pdb(image);
  EXPECT_EQ(now.offsets.back(), image.size());
  EXPECT_TRUE(now.records.back().empty());
}

TEST_F(ApplyExtras, FailuresLeaveTheDatabaseUnchanged) {
  const std::string text = font("text.fnt", {1});
  EXPECT_EQ(run({"--font_listHR=" + dir_.file("nope"), "--font_textHR=" + dir_.file("nope")}),
            "font_listHR file open failure.")
      << "the first bad font on the command line is reported";
  EXPECT_EQ(run({"--font_textHR=" + text, "--font_listHR=" + dir_.path()}),
            "font_listHR file open failure.");
  EXPECT_EQ(run({"--font_textHR=" + dir_.file("nope"), "--pictures_db=x"}),
            "font_textHR file open failure.");
  EXPECT_EQ(read_bytes(db_), original_);

  // A read-only database, even for a user the system would let write it.
  ::chmod(db_.c_str(), 0444);
  EXPECT_EQ(run({"--allow_html=1"}), "input file open failure. isn't it a ReadOnly file?");
  ::chmod(db_.c_str(), 0644);
  EXPECT_EQ(read_bytes(db_), original_);
  db_ = dir_.file("missing.pdb");
  EXPECT_EQ(run({"--allow_html=1"}), "input file open failure. isn't it a ReadOnly file?");

  // Too short for record 0: refused by the same test as a bad CRC.
  db_ = dir_.file("short.pdb");
  std::vector<uint8_t> cut(original_.begin(), original_.begin() + 80 + 48 + 549);
  write_bytes(db_, cut);
  EXPECT_EQ(run({"--allow_html=1"}), "wrong CRC in file");
  EXPECT_EQ(read_bytes(db_), cut);
  EXPECT_EQ(testing::list_folder(dir_.path()),
            (std::vector<std::string>{"Test.pdb", "short.pdb", "text.fnt"}))
      << "no temporary file is left behind";
}

TEST_F(ApplyExtras, TheRecordCountLimitsHowManyFontsFit) {
  std::vector<std::vector<uint8_t>> records(65533);
  records[0] = testing::header_record();
  original_ = testing::build_pdb(records);
  write_bytes(db_, original_);
  const std::string a = font("a.fnt", {0xAA});

  EXPECT_EQ(run({"--font_textHR=" + a, "--font_listHR=" + a, "--allow_html=1"}), "");
  EXPECT_EQ(get_be16(read_bytes(db_).data() + 76), 65535);

  write_bytes(db_, testing::build_pdb(std::vector<std::vector<uint8_t>>(65534, records[0])));
  const std::vector<uint8_t> full = read_bytes(db_);
  const std::string refused = run({"--font_textHR=" + a, "--font_listHR=" + a});
  EXPECT_EQ(refused, "lexbuild error: " + db_ +
                         " already holds 65534 records and cannot take the 2 font records: a "
                         "database holds at most 65535 records\n");
  EXPECT_EQ(read_bytes(db_), full);
  EXPECT_EQ(run({"--font_listHR=" + a}), "");
  EXPECT_EQ(get_be16(read_bytes(db_).data() + 76), 65535);
}

TEST_F(ApplyExtras, TheDatabaseKeepsItsPermissions) {
  ::chmod(db_.c_str(), 0600);
  ASSERT_EQ(run({"--allow_html=1"}), "");
  struct stat st {};
  ASSERT_EQ(::stat(db_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace lexbuild
