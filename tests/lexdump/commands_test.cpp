#include "lexdump/commands.h"

#include <gtest/gtest.h>

#include <random>

#include "lexdump/verify.h"
#include "support/pdb_builder.h"
#include "support/test_support.h"

namespace lexbuild::dump {
namespace {

CommandOutput lexdump(std::vector<std::string> args) {
  args.insert(args.begin(), "lexdump");
  return run_lexdump(args);
}

TEST(LexdumpCommands, UsageErrorsAndHelp) {
  EXPECT_EQ(lexdump({"--version"}).out, "lexdump 1.3.23\n");
  EXPECT_NE(lexdump({"--help"}).out.find("Usage: lexdump"), std::string::npos);
  EXPECT_EQ(lexdump({}).status, 2);
  EXPECT_EQ(lexdump({"frobnicate", "x.pdb"}).status, 2);
  EXPECT_EQ(lexdump({"lookup", "x.pdb"}).status, 2);
  EXPECT_EQ(lexdump({"--bogus", "info", "x.pdb"}).status, 2);
  EXPECT_EQ(lexdump({"--json", "entries", "x.pdb"}).status, 2);
  const CommandOutput missing = lexdump({"info", "/nonexistent/x.pdb"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "lexdump: cannot read /nonexistent/x.pdb: No such file or directory\n");
}

TEST(LexdumpCommands, ForeignFilesGiveAClearMessage) {
  testing::TempDir dir;
  testing::write_text(dir.file("notes.txt"), "just some text, not a database");
  for (const char* command : {"info", "entries", "verify"}) {
    const CommandOutput r = lexdump({command, dir.file("notes.txt")});
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_TRUE(r.out.empty() || std::string(command) == "verify") << command;
  }
  const CommandOutput verify = lexdump({"verify", dir.file("notes.txt")});
  EXPECT_NE(verify.out.find("header-bounds: "), std::string::npos);
  EXPECT_NE(verify.out.find("1 problem found"), std::string::npos);
}

TEST(LexdumpVerify, ArbitraryBytesNeverCrashAndAlwaysFail) {
  std::mt19937 random(7);
  const std::vector<uint8_t> base = testing::sample_pdb();
  for (int round = 0; round < 500; ++round) {
    std::vector<uint8_t> bytes = base;
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int f = 0; f < flips; ++f) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
    if (round % 5 == 0) bytes.resize(random() % bytes.size());
    const VerifyReport report = verify_database(bytes);
    EXPECT_FALSE(report.findings.empty());  // the sample is no complete dictionary
  }
}

}  // namespace
}  // namespace lexbuild::dump
