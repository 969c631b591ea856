// Everyday mistakes that used to give a wrong or empty dictionary without a
// word: a source piped in, a source that gives no entry, and lists the
// options misread. Each ends in a correct dictionary, a warning beside an
// unchanged one, or a refusal that keeps the earlier one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "support/test_support.h"
#include "support/word_lists.h"

namespace lexbuild::testing {
namespace {

bool has_stage_file(const TempDir& dir) {
  for (const std::string& name : list_folder(dir.path())) {
    if (name.starts_with("csv_") || name.starts_with("dic_unicode")) return true;
  }
  return false;
}

// Well past a pipe's buffer, so that a reader that looked at the start and
// reopened the source would find it gone.
std::string several_megabytes() {
  WordListOptions options;
  options.entries = 25000;
  return make_word_list(20261207, options).shuffled;
}

TEST(SourceMistakes, APipedSourceIsReadOnceAndGivesTheDictionaryOfTheFile) {
  const std::string tab_list = several_megabytes();
  ASSERT_GT(tab_list.size(), 3000000u);
  // A CSV list whose first line names the dictionary and holds no TAB.
  const std::string csv_list =
      "#@!Velmora!@# ID=[Piped]\n\"cat\",\"animal\"\ndog,\"a \"\"big\"\" dog\"\n";

  for (const std::string* list : {&tab_list, &csv_list}) {
    TempDir dir;
    write_text(dir.file("words.txt"), *list);
    ASSERT_EQ(run_lexbuild(dir, {"--infile=words.txt", "--outfile=file.pdb"}).status, 0);
    const std::vector<uint8_t> expected = database_without_dates(read_bytes(dir.file("file.pdb")));

    for (const char* infile : {"--infile=-", "--infile=/dev/stdin"}) {
      RunOptions options;
      options.input = *list;
      const ProgramResult r = run_lexbuild(dir, {infile, "--outfile=piped.pdb"}, options);
      ASSERT_EQ(r.status, 0) << infile << r.out;
      EXPECT_EQ(database_without_dates(read_bytes(dir.file("piped.pdb"))), expected) << infile;
      EXPECT_FALSE(has_stage_file(dir)) << infile;
    }

    // A named pipe, written by another process while the build reads it.
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    RunningProgram build = start_lexbuild(dir, {"--infile=fifo", "--outfile=fifo.pdb"});
    std::thread writer([&] {
      const int fd = ::open(dir.file("fifo").c_str(), O_WRONLY);
      for (size_t at = 0; fd >= 0 && at < list->size();) {
        const ssize_t n = ::write(fd, list->data() + at, list->size() - at);
        if (n <= 0) break;
        at += static_cast<size_t>(n);
      }
      if (fd >= 0) ::close(fd);
    });
    const ProgramResult r = build.wait();
    writer.join();
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(database_without_dates(read_bytes(dir.file("fifo.pdb"))), expected);
    EXPECT_FALSE(has_stage_file(dir));
  }
}

}  // namespace
}  // namespace lexbuild::testing
