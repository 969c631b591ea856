#include "compiler/database.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <regex>

#include "compiler/byte_order.h"
#include "compiler/compiler_test_util.h"
#include "patcher/database_image.h"
#include "platform/clock.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

struct AssemblyTest : ::testing::Test {
  TempDir work;
  TempDir out;
  Settings settings = init_settings_with_work_folder(work.path());
  StringConsole console;
  Log log;
  BuildContext context{settings, console, log};

  void make_record(const std::string& name, size_t size, uint8_t fill) {
    write_bytes(work.file(name), std::vector<uint8_t>(size, fill));
  }
  void make_record(const std::string& name) { write_text(work.file(name), name); }
};

TEST_F(AssemblyTest, SixRecordsGetTheirOffsetsAfterHeaderListAndGap) {
  const std::vector<std::pair<std::string, size_t>> files = {{"rec_0.bin", 550},
                                                             {"rec_tab.bin", 18},
                                                             {"rec_indW.bin", 110},
                                                             {"rec_indT.bin", 110},
                                                             {"rec_words_000000.bin", 1234},
                                                             {"rec_trans_000000.bin", 110}};
  std::vector<uint8_t> data;
  for (size_t i = 0; i < files.size(); ++i) {
    make_record(files[i].first, files[i].second, static_cast<uint8_t>(i + 1));
    data.insert(data.end(), files[i].second, static_cast<uint8_t>(i + 1));
  }
  DatabaseAssembly database(context);
  for (const auto& [name, size] : files) database.append_record(name);
  database.write_database(out.file("MyDict.pdb"), "MyDict", 1000000000);

  const std::vector<uint8_t> file = read_bytes(out.file("MyDict.pdb"));
  ASSERT_EQ(file.size(), 2260u);
  // Name "MyDict" and 26 zeros, attributes 0, version 1, both dates for
  // time 1,000,000,000, four zero fields, "DICT", "Vlmr", two zero fields, 6 records.
  EXPECT_EQ(to_hex({file.begin(), file.begin() + 78}),
            "4D 79 44 69 63 74 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
            "00 00 00 00 00 00 00 00 00 01 B7 C0 B2 BC B7 C0 B2 BC 00 00 00 00 00 00 00 00 "
            "00 00 00 00 00 00 00 00 44 49 43 54 56 6C 6D 72 00 00 00 00 00 00 00 00 00 06");
  EXPECT_EQ(to_hex({file.begin() + 78, file.begin() + 128}),
            "00 00 00 80 00 00 00 00 00 00 02 A6 00 00 00 00 00 00 02 B8 00 00 00 00 "
            "00 00 03 26 00 00 00 00 00 00 03 94 00 00 00 00 00 00 08 66 00 00 00 00 00 00");
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 128, file.end()), data);
  EXPECT_EQ(find_header_record(file), 128u) << "the post-build pass finds record 0";

  EXPECT_EQ(console.text(),
            "\r550 byte has been allocated\r568 byte has been allocated"
            "\r678 byte has been allocated\r788 byte has been allocated"
            "\r2022 byte has been allocated\r2132 byte has been allocated"
            "\nData size to be written 2132 byte\n2132 byte has been successfully written\n");
  EXPECT_EQ(list_folder(work.path()), std::vector<std::string>{}) << "records are consumed";
  EXPECT_EQ(list_folder(out.path()), std::vector<std::string>{"MyDict.pdb"});
}

TEST_F(AssemblyTest, HeldRecordsTakeTheirPlaceAmongTheFilesByName) {
  // A build without --debug holds the chunk records in memory; the others
  // are files. Both come in ascending name order, and no held one stays.
  make_record("rec_words_000000.bin");
  make_record("rec_words_000002.bin");
  HeldRecords held;
  held.hold("rec_words_000001.bin", bytes_of("held 1"));
  held.hold("rec_words_000003.bin", bytes_of("held 3"));
  held.hold("rec_trans_000000.bin", bytes_of("not words"));
  DatabaseAssembly database(context, &held);
  database.append_matching_records("rec_words_*.bin");
  EXPECT_EQ(database.record_count(), 4u);
  database.write_database(out.file("MyDict.pdb"), "MyDict", 0);
  EXPECT_EQ(records_of(read_bytes(out.file("MyDict.pdb"))),
            (std::vector<std::string>{"rec_words_000000.bin", "held 1", "rec_words_000002.bin",
                                      "held 3"}));
  EXPECT_EQ(held.size(), 1u) << "only the records not appended stay held";
  EXPECT_TRUE(list_folder(work.path()).empty());
}

TEST_F(AssemblyTest, RecordsFollowTheFixedOrderAndBothDatesAreNow) {
  for (const char* name : {"rec_kbd.bin", "rec_fntTrans.bin", "rec_fntWords.bin", "rec_abbr.bin",
                           "rec_about.bin", "rec_trans_000001.bin", "rec_trans_000000.bin",
                           "rec_words_000001.bin", "rec_words_000000.bin", "rec_indT.bin",
                           "rec_indW.bin", "rec_tab.bin", "rec_0.bin", "rec_other.bin"}) {
    make_record(name);
  }
  settings.outfile = out.file("Dict.pdb");
  settings.id = "Dict";
  const int64_t before = platform::unix_time();
  assemble_database(context);
  const int64_t after = platform::unix_time();

  const std::vector<uint8_t> file = read_bytes(out.file("Dict.pdb"));
  EXPECT_EQ(
      records_of(file),
      (std::vector<std::string>{
          "rec_0.bin", "rec_tab.bin", "rec_indW.bin", "rec_indT.bin", "rec_words_000000.bin",
          "rec_words_000001.bin", "rec_trans_000000.bin", "rec_trans_000001.bin", "rec_about.bin",
          "rec_abbr.bin", "rec_fntWords.bin", "rec_fntTrans.bin", "rec_kbd.bin"}));
  const uint32_t created = get_be32(file.data() + 36);
  EXPECT_EQ(get_be32(file.data() + 40), created);
  EXPECT_GE(created, static_cast<uint32_t>(before) + 2082859196u);
  EXPECT_LE(created, static_cast<uint32_t>(after) + 2082859196u);
  EXPECT_EQ(list_folder(work.path()), std::vector<std::string>{"rec_other.bin"});
}

TEST_F(AssemblyTest, MissingRecordsAreLeftOutAndEmptyOnesKept) {
  make_record("rec_0.bin", 3, 0xAA);
  make_record("rec_tab.bin", 0, 0);
  make_record("rec_indT.bin", 2, 0xBB);
  settings.outfile = out.file("x.pdb");
  assemble_database(context);
  const std::vector<uint8_t> file = read_bytes(out.file("x.pdb"));
  ASSERT_EQ(file.size(), 80u + 8 * 3 + 5);
  EXPECT_EQ(file[77], 3);
  EXPECT_EQ(get_be32(file.data() + 78), 104u);
  EXPECT_EQ(get_be32(file.data() + 86), 107u);
  EXPECT_EQ(get_be32(file.data() + 94), 107u) << "an empty record shares the next offset";

  // Without any record nothing is written.
  console.clear();
  DatabaseAssembly empty(context);
  empty.write_database(out.file("none.pdb"), "none", 0);
  EXPECT_FALSE(exists(out.file("none.pdb")));
  EXPECT_EQ(console.text(), "");
}

TEST_F(AssemblyTest, DebugKeepsTheRecordFilesLogsThemAndShowsTheMemoryLoad) {
  settings.debug = true;
  ASSERT_EQ(log.open_log(work.file("lexbuild.log")), 0);
  make_record("rec_0.bin", 10, 1);
  make_record("rec_tab.bin", 20, 2);
  settings.outfile = out.file("x.pdb");
  assemble_database(context);
  log.close_log();

  EXPECT_TRUE(exists(work.file("rec_0.bin")));
  EXPECT_TRUE(exists(work.file("rec_tab.bin")));
  EXPECT_EQ(read_text(work.file("lexbuild.log")),
            "Additition rec_0.bin file\r\nAdditition rec_tab.bin file\r\n");
  EXPECT_TRUE(std::regex_search(
      console.text(), std::regex("^\r10 byte has been allocated, \\d+ % of memory is in use"
                                 "\r30 byte has been allocated, \\d+ % of memory is in use"
                                 "\nData size to be written 30 byte\n")))
      << console.text();
}

TEST_F(AssemblyTest, RecordsOf65536BytesOrMoreAreRefused) {
  make_record("rec_0.bin", 65535, 7);
  make_record("rec_tab.bin", 65536, 7);
  DatabaseAssembly database(context);
  database.append_record("rec_0.bin");
  EXPECT_EQ(database.data_total(), 65535u);
  EXPECT_EQ(fatal_text([&] { database.append_record("rec_tab.bin"); }),
            "lexbuild error: the record file '" + work.file("rec_tab.bin") +
                "' is 65536 bytes long, but a database record holds at most 65535 bytes: the file "
                "it comes from or the dictionary is too large\n");
  EXPECT_EQ(database.record_count(), 1u);
}

TEST_F(AssemblyTest, ALongIdIsCutToTheNameFieldWithAWarning) {
  const std::string id = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  make_record("rec_0.bin", 4, 0);
  settings.id = id;
  settings.outfile = out.file(id + ".pdb");
  assemble_database(context);
  const std::vector<uint8_t> file = read_bytes(out.file(id + ".pdb"));
  EXPECT_EQ(std::string(file.begin(), file.begin() + 32), id.substr(0, 31) + std::string(1, '\0'));
  EXPECT_EQ(console.text().substr(0, console.text().find('\r')),
            "lexbuild: the dictionary name '" + id +
                "' is longer than 31 bytes; the database carries its first 31\n");

  // 31 bytes fit whole.
  const auto header = make_db_header(id.substr(0, 31), 0, 1);
  EXPECT_EQ(std::string(header.begin(), header.begin() + 32), id.substr(0, 31) + '\0');
}

TEST_F(AssemblyTest, ADatabaseThatCannotBeCreatedIsFatal) {
  make_record("rec_0.bin", 4, 0);
  DatabaseAssembly database(context);
  database.append_record("rec_0.bin");
  const std::string path = out.file("missing/x.pdb");
  EXPECT_EQ(
      fatal_text([&] { database.write_database(path, "x", 0); }),
      "lexbuild error: could not create the database '" + path + "': No such file or directory\n");
}

#ifndef _WIN32
// Writes the database in a process whose files may not grow past 4096
// bytes, and ends that process with the fatal report's status.
void write_with_file_size_limit(DatabaseAssembly& database, const std::string& path) {
  ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit {};
  limit.rlim_cur = limit.rlim_max = 4096;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  try {
    database.write_database(path, "x", 0);
  } catch (const FatalError& error) {
    std::fputs(error.output().c_str(), stderr);
    ::_exit(error.exit_status());
  }
  ::_exit(0);
}
#endif

TEST_F(AssemblyTest, AShortWriteIsFatalAndKeepsTheEarlierDatabase) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no limit on the size of a process's files";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string path = out.file("x.pdb");
  write_text(path, "earlier build");
  make_record("rec_0.bin", 20000, 0x55);
  DatabaseAssembly database(context);
  database.append_record("rec_0.bin");

  EXPECT_EXIT(write_with_file_size_limit(database, path), ::testing::ExitedWithCode(1),
              "lexbuild error: could not write the database '.*x.pdb': ");
  EXPECT_EQ(read_text(path), "earlier build");
  EXPECT_EQ(list_folder(out.path()), std::vector<std::string>{"x.pdb"}) << "no temporary file";
#endif
}

}  // namespace
}  // namespace lexbuild::testing
