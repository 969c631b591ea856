// Builds that meet a failing file system, run as the user runs them: a write
// that fails part-way (the child's files may not grow past a limit), a folder
// that fills up (a small tmpfs of the child's own). Every one must end with a
// message naming the file, status 1, no timing lines, and the output name as
// the run found it: an earlier database byte for byte, no temporary file
// beside it. The build after the fault must then give the whole database.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>

#include "support/held_build.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

// Offsets of the two dates in the database header, which differ between runs.
constexpr size_t kDatesOffset = 36;
constexpr size_t kDatesSize = 8;

std::vector<uint8_t> without_dates(std::vector<uint8_t> database) {
  if (database.size() >= kDatesOffset + kDatesSize) {
    std::fill_n(database.begin() + kDatesOffset, kDatesSize, 0);
  }
  return database;
}

// One entry whose 7,990-byte translation hardly compresses, so that its
// chunk file, its chunk record and the database each outgrow the list:
// a size limit between two of them fails exactly one write.
std::string incompressible_source(char separator) {
  std::mt19937 random(20240610);
  std::uniform_int_distribution<int> printable('!', '~');
  std::string text = "word";
  text += separator;
  while (text.size() < 7995) {
    const char c = static_cast<char>(printable(random));
    if (c != '"' && c != '\\' && c != ',') text += c;
  }
  return text + "\r\n";
}

// What a fault-free build makes of the source, and the sizes of its files.
struct Reference {
  std::vector<uint8_t> database;  // dates cleared
  uint64_t list = 0;
  uint64_t chunk = 0;   // the compressed translation chunk
  uint64_t record = 0;  // the chunk record that holds it
};

const Reference& reference() {
  static const Reference ref = [] {
    TempDir dir;
    write_text(dir.file("one.tab"), incompressible_source('\t'));
    const ProgramResult r = run_lexbuild(dir, {"--infile=one.tab", "--id=One", "--debug"});
    if (r.status != 0) throw std::runtime_error("reference build failed: " + r.out);
    Reference result;
    result.database = without_dates(read_bytes(dir.file("One.pdb")));
    result.list = read_bytes(dir.file("one.tab")).size();
    // --debug keeps the chunk and record files.
    result.chunk = read_bytes(dir.file("trans_000000_00001.bin")).size();
    result.record = read_bytes(dir.file("rec_trans_000000.bin")).size();
    return result;
  }();
  return ref;
}

class IoFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    write_text(dir_.file("one.tab"), incompressible_source('\t'));
    write_text(dir_.file("one.csv"), incompressible_source(','));
    // The database an earlier build left under the same name.
    write_text(dir_.file("old.tab"), "cat\tanimal\r\ndog\tanimal\r\n");
    ASSERT_EQ(run_lexbuild(dir_, {"--infile=old.tab", "--id=One"}).status, 0);
    earlier_ = read_bytes(dir_.file("One.pdb"));
    for (const std::string& name : list_folder(dir_.path())) {
      if (name != "one.tab" && name != "one.csv" && name != "old.tab" && name != "One.pdb") {
        std::filesystem::remove_all(dir_.file(name));
      }
    }
  }

  ProgramResult build(std::vector<std::string> extra, RunOptions options = {}) {
    std::vector<std::string> args = {"--infile=one.tab", "--id=One"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_lexbuild(dir_, args, std::move(options));
  }

  ProgramResult build_with_limit(uint64_t limit, std::vector<std::string> extra = {}) {
    RunOptions options;
    options.file_size_limit = limit;
    return build(std::move(extra), std::move(options));
  }

  // The run failed with a message holding `names`, and left the output as it was.
  void expect_clean_failure(const ProgramResult& r, const std::string& names) {
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("lexbuild error: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(names), std::string::npos) << "the message names " << names << ":\n"
                                                    << r.out;
    EXPECT_EQ(r.out.find("Total building:"), std::string::npos) << r.out;
    EXPECT_EQ(read_bytes(dir_.file("One.pdb")), earlier_) << "the earlier database, byte for byte";
    for (const std::string& name : list_folder(dir_.path())) {
      EXPECT_NE(name.front(), '.') << name << " was left beside the database";
    }
  }

  // A build without the fault gives the whole database, whatever the failed
  // one left in the work folder.
  void expect_next_build_whole() {
    const ProgramResult r = build({});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(without_dates(read_bytes(dir_.file("One.pdb"))), reference().database);
  }

  TempDir dir_;
  std::vector<uint8_t> earlier_;
};

TEST_F(IoFaults, TheReferenceFilesGrowStepByStep) {
  // The limits below fall between these sizes.
  const Reference& ref = reference();
  EXPECT_LT(ref.list + 200, ref.chunk);
  EXPECT_LT(ref.chunk + 20, ref.record);
  EXPECT_LT(ref.record + 200, ref.database.size());
  EXPECT_LT(ref.database.size(), 2 * ref.list);
}

TEST_F(IoFaults, AStageFileOfEitherChainThatCannotBeWrittenWhole) {
  // A stage file whose write failed is not left to take up room; the whole
  // ones before it stay, as after any failure.
  const auto stage_files = [this](std::string_view prefix) {
    std::vector<std::string> names;
    for (const std::string& name : list_folder(dir_.path())) {
      if (name.starts_with(prefix)) names.push_back(name);
    }
    return names;
  };
  const uint64_t list = reference().list;
  // The TAB chain's checked lines reach the disk only sorted.
  ProgramResult r = build_with_limit(list / 2);
  expect_clean_failure(r, "could not write the sorted list " + dir_.file("csv_cut_out1"));
  EXPECT_NE(r.out.find("File too large; make room in that folder, or set TMP"), std::string::npos);
  r = build_with_limit(list / 2, {"--infile=one.csv"});
  expect_clean_failure(r, "could not write file " + dir_.file("csv_out1"));
  EXPECT_EQ(stage_files("csv_"), std::vector<std::string>{});

  // The 16-bit list is twice as long as the 8-bit ones before it, and in
  // either chain it too reaches the disk only sorted.
  r = build_with_limit(list * 3 / 2, {"--to_unicode=1"});
  expect_clean_failure(r, "could not write the sorted list " + dir_.file("dic_unicode"));
  r = build_with_limit(list * 3 / 2, {"--infile=one.csv", "--to_unicode=1"});
  expect_clean_failure(r, "could not write the sorted list " + dir_.file("dic_unicode"));
  EXPECT_EQ(stage_files("dic_"), std::vector<std::string>{});
  expect_next_build_whole();
}

TEST_F(IoFaults, AChunkFileThatCannotBeWrittenWhole) {
  // Only --debug writes chunk files.
  const Reference& ref = reference();
  const ProgramResult r = build_with_limit((ref.list + ref.chunk) / 2, {"--debug"});
  expect_clean_failure(r, "could not write the chunk " + dir_.file("trans_000000_00001.bin"));
  EXPECT_FALSE(exists(dir_.file("2.bin"))) << "the scratch file goes";
  expect_next_build_whole();
}

TEST_F(IoFaults, AChunkRecordThatCannotBeWrittenWhole) {
  // Only --debug writes chunk records; other builds hold them in memory.
  const Reference& ref = reference();
  const ProgramResult r = build_with_limit((ref.chunk + ref.record) / 2, {"--debug"});
  expect_clean_failure(r, "could not write the record file " + dir_.file("rec_trans_000000.bin"));
  EXPECT_FALSE(exists(dir_.file("rec_trans_000000.bin"))) << "no partial record stays";
  expect_next_build_whole();
}

TEST_F(IoFaults, TheDatabaseThatCannotBeWrittenWhole) {
  const Reference& ref = reference();
  ProgramResult r = build_with_limit((ref.record + ref.database.size()) / 2);
  expect_clean_failure(r, "could not write the database 'One.pdb': File too large");
  // The message starts a line of its own after the progress line.
  EXPECT_NE(r.out.find("byte has been allocated\nData size"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nlexbuild error: could not write the database"), std::string::npos);

  // Without an earlier database none is left at all.
  std::filesystem::remove(dir_.file("One.pdb"));
  r = build_with_limit((ref.record + ref.database.size()) / 2);
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(exists(dir_.file("One.pdb")));
  write_bytes(dir_.file("One.pdb"), earlier_);
  expect_next_build_whole();
}

TEST_F(IoFaults, ThePostBuildRewriteThatCannotBeWrittenWhole) {
  // The build writes its database, then the extras pass fails to rewrite it
  // with the font: the earlier database comes back, not the half-done one.
  write_bytes(dir_.file("text.fnt"), std::vector<uint8_t>(3000, 0xA5));
  const size_t database = reference().database.size();
  const ProgramResult r = build_with_limit(database + 1500, {"--font_textHR=text.fnt"});
  expect_clean_failure(r, "could not rewrite One.pdb: File too large");
  expect_next_build_whole();
}

TEST_F(IoFaults, ATemporaryFolderThatFillsUp) {
  if (const auto reason = small_folder_unavailable()) GTEST_SKIP() << *reason;
  const std::string tmp = dir_.file("tmp");
  std::filesystem::create_directory(tmp);
  RunOptions options;
  options.env["TMP"] = tmp;

  // Not even the first stage file fits: the CSV reader's, or the sorted list.
  options.small_folder = SmallFolder{tmp, 4096};
  ProgramResult r = build({"--infile=one.csv"}, options);
  expect_clean_failure(r, "could not write file " + tmp + "/csv_out1: No space left on device");
  r = build({}, options);
  expect_clean_failure(r, "could not write the sorted list " + tmp +
                              "/csv_cut_out1: No space left on device; make room in that folder");

  // Room for one copy of the list is enough: the checked lines go to the
  // sort in memory, and a stage file goes as soon as the next one is whole.
  options.small_folder = SmallFolder{tmp, 12288};
  for (const char* source : {"--infile=one.tab", "--infile=one.csv"}) {
    r = build({source}, options);
    ASSERT_EQ(r.status, 0) << source << "\n" << r.out;
    EXPECT_EQ(without_dates(read_bytes(dir_.file("One.pdb"))), reference().database) << source;
  }
  expect_next_build_whole();
}

TEST_F(IoFaults, AWorkFolderThatFillsUp) {
  if (const auto reason = small_folder_unavailable()) GTEST_SKIP() << *reason;
  const std::string work = dir_.file("work");
  std::filesystem::create_directory(work);
  RunOptions options;
  options.env["TEMP"] = work;
  options.env["TMP"] = work;
  options.small_folder = SmallFolder{work, 20480};  // a page of it for the build's journal
  const ProgramResult r = build({}, options);
  expect_clean_failure(r, work + "/");
  EXPECT_NE(r.out.find("No space left on device; check the"), std::string::npos) << r.out;
  expect_next_build_whole();
}

TEST_F(IoFaults, ABuildEndedByASignalTidiesUp) {
#ifdef _WIN32
  // Ctrl-C and Ctrl-Break at the console (the test sends the Ctrl-Break
  // event to the build's process group): the build, held while it waits
  // for its standard input, puts the earlier database back, and neither
  // its kept copy nor the lock file stays behind.
  if (const auto reason = console_events_unavailable()) GTEST_SKIP() << *reason;
  {
    RunningProgram build = start_lexbuild(dir_, {"--infile=-", "--id=One"});
    // The earlier database is kept aside before the source is read.
    const std::string kept = ".One.pdb.keep" + std::to_string(build.pid());
    ASSERT_TRUE(wait_for_file(dir_.file(kept)));
    build.kill(SIGINT);
    const ProgramResult r = build.wait();
    EXPECT_EQ(r.status, 128 + SIGINT) << r.out << r.err;
  }
  EXPECT_EQ(read_bytes(dir_.file("One.pdb")), earlier_);
  for (const std::string& name : list_folder(dir_.path())) {
    EXPECT_FALSE(name.starts_with(".") || name == "lexbuild.lock")
        << name << " was left behind after Ctrl-Break";
  }
#else
  // Ctrl-C, a terminal that closes, kill: the earlier database is there
  // again, and neither its kept copy nor the lock file stays behind.
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    std::filesystem::remove(dir_.file("held.tab"));
    {
      HeldBuild build(dir_, {"--id=One"});
      ASSERT_TRUE(build.hold());
      // The earlier database is kept aside before the splitter, where the
      // build now waits for the rest of its source.
      const std::string kept = ".One.pdb.keep" + std::to_string(build.program.pid());
      ASSERT_TRUE(wait_for_file(dir_.file(kept)));
      build.program.kill(signal_number);
      EXPECT_EQ(build.program.wait().status, 128 + signal_number);
    }
    EXPECT_EQ(read_bytes(dir_.file("One.pdb")), earlier_) << strsignal(signal_number);
    for (const std::string& name : list_folder(dir_.path())) {
      EXPECT_FALSE(name.starts_with(".") || name == "lexbuild.lock")
          << name << " was left behind after " << strsignal(signal_number);
    }
  }
#endif
}

TEST_F(IoFaults, ADumpThatCannotBeWrittenWholeFails) {
  // lexdump's output is what the user asked for: cut short by a full disk
  // behind a redirection, it must not pass for the whole.
  const std::string dump = std::string(LEXDUMP_BINARY) + " entries One.pdb";
  RunOptions options;
  options.cwd = dir_.path();
  ProgramResult r = run_program("/bin/sh", {"-c", "exec " + dump + " > /dev/full"}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "lexdump: cannot write the output: No space left on device\n");

  r = run_program("/bin/sh", {"-c", "exec " + dump + " > dump.txt"}, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_text(dir_.file("dump.txt")), "cat\tanimal\ndog\tanimal\n");
}

}  // namespace
}  // namespace lexbuild::testing
