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
  EXPECT_TRUE(lexdump({"--version"}).out.starts_with("lexdump (lexbuild) 1.3.23\nCopyright"));
  EXPECT_TRUE(lexdump({"--help"}).out.starts_with("Usage: lexdump [OPTION]..."));
  // Command line, exit status, standard error.
  const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
      {{}, "lexdump: no command given\nTry 'lexdump --help'.\n"},
      {{"frobnicate", "x.pdb"},
       "lexdump: usage: lexdump [--json] COMMAND DICT.pdb\n"
       "Try 'lexdump --help'.\n"},
      {{"lookup", "x.pdb"},
       "lexdump: usage: lexdump lookup DICT.pdb WORD\nTry 'lexdump --help'.\n"},
      {{"--bogus", "info", "x.pdb"}, "lexdump: unknown option '--bogus'\nTry 'lexdump --help'.\n"},
      {{"--json", "entries", "x.pdb"}, "lexdump: --json applies to info and verify only\n"},
      {{"--source_language=Englsh", "lookup", "x.pdb", "a"},
       "lexdump: the language 'Englsh' is not known; 'lexbuild --help source_language' lists the "
       "names\n"},
  };
  for (const auto& [args, err] : wrong) {
    const CommandOutput r = lexdump(args);
    EXPECT_EQ(r.status, 2) << err;
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.out, "");
  }
  const CommandOutput missing = lexdump({"info", "/nonexistent/x.pdb"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "lexdump: cannot read /nonexistent/x.pdb: No such file or directory\n");
  // After "--", a word that begins with a dash is an operand.
  EXPECT_EQ(lexdump({"lookup", "--", "/nonexistent/x.pdb", "-ish"}).err, missing.err);
}

TEST(LexdumpCommands, ForeignFilesGiveAClearMessage) {
  testing::TempDir dir;
  testing::write_text(dir.file("notes.txt"), "just some text, not a database");
  std::string long_text;
  while (long_text.size() < 5000) long_text += "A longer text: its 78 first bytes are no header.\n";
  testing::write_text(dir.file("long.txt"), long_text);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"notes.txt", "30 bytes, fewer than the 78-byte database header"},
      {"long.txt", "its first 78 bytes have no name field ended by a zero byte, type and creator"}};
  for (const auto& [name, detail] : files) {
    for (const char* command : {"info", "entries"}) {
      const CommandOutput r = lexdump({command, dir.file(name)});
      EXPECT_EQ(r.status, 1) << command;
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, "lexdump: " + dir.file(name) + " is not a Palm database (" +
                           (name == "notes.txt" ? "the file holds " : "") + detail + ")\n");
    }
    const CommandOutput verify = lexdump({"verify", dir.file(name)});
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.out.find(": not a Palm database: "), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("1 problem found"), std::string::npos);
  }
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
