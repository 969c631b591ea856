// The post-build extras as the user meets them. Each run starts from a
// database of the same name left by an earlier build; a build that writes
// the database itself replaces it, and the checks hold either way.
#include <gtest/gtest.h>

#include "compiler/byte_order.h"
#include "compiler/crc32.h"
#include "support/pdb_builder.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

class ExtrasEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    write_text(dir_.file("words.tab"), "cat\tanimal\r\n");
    write_bytes(dir_.file("Test.pdb"), sample_pdb());
  }

  ProgramResult build(std::vector<std::string> extras, RunOptions options = {}) {
    extras.insert(extras.begin(), {"--infile=words.tab", "--id=Test"});
    return run_lexbuild(dir_, extras, options);
  }

  PdbContents database() { return split_pdb(read_bytes(dir_.file("Test.pdb"))); }

  TempDir dir_;
};

TEST_F(ExtrasEndToEnd, AllFourExtrasLandInTheDatabase) {
  std::vector<uint8_t> text_font(3000), list_font(777);
  for (size_t i = 0; i < text_font.size(); ++i) text_font[i] = static_cast<uint8_t>(i * 7);
  for (size_t i = 0; i < list_font.size(); ++i) list_font[i] = static_cast<uint8_t>(i * 13 + 1);
  write_bytes(dir_.file("text.fnt"), text_font);
  write_bytes(dir_.file("list.fnt"), list_font);

  const ProgramResult r = build({"--font_listHR=list.fnt", "--pictures_db=Pictures",
                                 "--allow_html=1", "--font_textHR=text.fnt"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\nTotal building:"), std::string::npos);

  const PdbContents db = database();
  const size_t n = db.records.size();
  ASSERT_GE(n, 3u);
  EXPECT_EQ(db.records[n - 2], text_font);
  EXPECT_EQ(db.records[n - 1], list_font);
  const std::vector<uint8_t>& r0 = db.records[0];
  ASSERT_GE(r0.size(), 550u);
  EXPECT_EQ(std::string(r0.begin() + 42, r0.begin() + 74), "Pictures" + std::string(24, '\0'));
  EXPECT_EQ(get_be32(r0.data() + 158), 1u);
  EXPECT_EQ(get_be16(r0.data() + 162), n - 2);
  EXPECT_EQ(get_be16(r0.data() + 164), n - 1);
  EXPECT_EQ(crc32({r0.data(), 550}), kCrc32Residue);
}

TEST_F(ExtrasEndToEnd, AFailureEndsTheRunWithoutTimingLines) {
  const ProgramResult r = build({"--pictures_db=P", "--font_textHR=missing.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("\nfont_textHR file open failure.")) << r.out;
  EXPECT_EQ(r.out.find("Beginning of building"), std::string::npos);

  const std::vector<uint8_t> r0 = database().records[0];
  EXPECT_EQ(crc32({r0.data(), 550}), kCrc32Residue);
  EXPECT_EQ(r0[42], 0) << "nothing was written";
}

TEST_F(ExtrasEndToEnd, AFullDiskLeavesTheDatabaseAsItWas) {
  write_bytes(dir_.file("big.fnt"), std::vector<uint8_t>(200000, 0x5A));
  RunOptions options;
  options.file_size_limit = 100000;
  const ProgramResult r = build({"--allow_html=1", "--font_textHR=big.fnt"}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("lexbuild error: could not rewrite Test.pdb: File too large; the "
                       "database is left as it was\n"),
            std::string::npos)
      << r.out;

  const PdbContents db = database();
  EXPECT_EQ(get_be32(db.records[0].data() + 158), 0u);
  EXPECT_NE(db.records.back().size(), 200000u);
  for (const std::string& name : list_folder(dir_.path())) {
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name << " was left behind";
  }
}

}  // namespace
}  // namespace lexbuild::testing
