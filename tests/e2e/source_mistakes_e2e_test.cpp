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

// The warning lines of a run's output, each with its line break.
std::vector<std::string> warning_lines(const std::string& out) {
  std::vector<std::string> lines;
  for (size_t at = out.find("\nlexbuild: "); at != std::string::npos;
       at = out.find("\nlexbuild: ", at + 1)) {
    lines.push_back(out.substr(at + 1, out.find('\n', at + 1) - at));
  }
  return lines;
}

std::string utf16(std::u16string_view text) {
  std::string bytes;
  for (const char16_t u : text) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

// A source that gives no entry, and refusals that count lines: each names the
// source (and its line), and the earlier database stays.
TEST(SourceMistakes, RefusalsNameTheSourceAndKeepTheEarlierDatabase) {
  const std::string list8 = "cat\tanimal\r\ndog\tanimal\r\n";
  const std::string list16 = utf16(u"cat\tanimal\r\ndog\tanimal\r\n");
  std::string million;
  for (int i = 0; i < 1000000; ++i) million += "w" + std::to_string(i) + "\tx\n";
  const struct {
    std::string source;
    std::vector<std::string> options;
    std::string message;
  } cases[] = {
      {list8,
       {"--unicode=1"},
       "words.txt gave no entry (24 bytes read): it looks like 8-bit text, which --unicode=1 "
       "reads as 16-bit Unicode (UTF-16); leave --unicode=1 out, or give --to_unicode=1 to "
       "convert it\n"},
      {list16,
       {"--unicode=1"},
       "words.txt gave no entry (48 bytes read): it looks like 16-bit Unicode (UTF-16) text, and "
       "the CSV reader reads 8-bit text only; for a 16-bit TAB list give --source_format=tab\n"},
      {"cat,animal\n",
       {"--source_format=tab"},
       "words.txt gave no entry (11 bytes read): read as a TAB list, no line holds a TAB between "
       "a word and its definition; for a comma-separated list leave --source_format=tab out\n"},
      {million,
       {},
       "words.txt, line 1000000: the list holds more than 999999 entries, the most a dictionary "
       "can hold; split it into smaller dictionaries\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_text(dir.file("old.tab"), "owl\tbird\r\n");
    ASSERT_EQ(run_lexbuild(dir, {"--infile=old.tab", "--id=Test"}).status, 0);
    const std::vector<uint8_t> earlier = read_bytes(dir.file("Test.pdb"));
    write_text(dir.file("words.txt"), c.source);
    std::vector<std::string> args = {"--infile=words.txt", "--id=Test"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProgramResult r = run_lexbuild(dir, args);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(r.out.ends_with("\nlexbuild error: " + c.message)) << r.out;
    EXPECT_EQ(read_bytes(dir.file("Test.pdb")), earlier);
    // (The splitter's partial copy after a refusal in the middle of the list
    // goes with the clean-up of failed builds.)
    if (c.source != million) {
      EXPECT_FALSE(has_stage_file(dir)) << c.message;
    }
  }
}

// Each mistake draws one warning; the dictionary is the one the list gives
// when written as the program reads it.
TEST(SourceMistakes, MisreadListsAreBuiltAsBeforeWithAWarning) {
  const std::string x(3999, 'x');
  const std::string y(4001, 'y');
  const std::string long_word = "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz";
  const struct {
    std::string source;
    std::vector<std::string> options;
    std::string warning;
    std::string same_as;  // a source that gives the same dictionary without a warning
    std::vector<std::string> same_options;
  } cases[] = {
      {"cat\tanimal\r\n\xC9t\xE9\tsummer\r\nzoo\tpark\r\n",
       {"--source_language=Rusian"},
       "the language 'Rusian' is not known: the \"C\" rules sort the list; see --help "
       "source_language for the names\n",
       "cat\tanimal\r\nzoo\tpark\r\n\xC9t\xE9\tsummer\r\n",
       {}},
      {"Zoo\tpark\r\nabc\tletters\r\n",
       {"--source_language=Armenian"},
       "Armenian has no 8-bit code page: the \"C\" rules and code page apply to this 8-bit "
       "list; give --unicode=1 with a UTF-16 list to sort it as Armenian\n",
       "abc\tletters\r\nZoo\tpark\r\n",
       {}},
      {long_word + "\tdef\ncat,animal\n",
       {},
       "the first line of words.txt holds a TAB: the list looks tab-separated but is read as "
       "CSV; give --source_format=tab if it is a TAB list\n",
       long_word + "\tdef\t \ncat\tanimal\n",
       {"--source_format=tab"}},
      {"cat\tanimal\r\ndog\tdog\x1Aowl\tbird\r\n",
       {},
       "words.txt: the byte 0x1A in line 2 ends the list there, as it ends a text file; the 10 "
       "bytes after it are not read\n",
       "cat\tanimal\r\ndog\tdog",
       {}},
      {"#@!Velmora!@# ID=[] LARGEFONT=[1]\na,b\n",
       {},
       "the first line's ID=[] gives no name; the dictionary keeps the ID 'none'\n",
       "#@!Velmora!@# LARGEFONT=[1]\na,b\n",
       {}},
      {"cat\tanimal\n\n   \nnot an entry\nabcdefghijklmnopqrstuvwxyz0123\tdef\nk\t" + x + " " + y +
           "\n",
       {},
       "the list was changed: 1 word was cut to 25 bytes, 1 definition was cut into numbered "
       "pieces, 1 line without a TAB was skipped, 2 empty or blank lines were dropped\n",
       "cat\tanimal\nabcdefghijklmnopqrstuvwxy\tabcdefghijklmnopqrstuvwxyz0123\\n\\ndef\nk [1]\t" +
           x + " \nk [2]\t" + y + "\n",
       {}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_text(dir.file("same.txt"), c.same_as);
    std::vector<std::string> args = {"--infile=same.txt", "--outfile=same.pdb"};
    args.insert(args.end(), c.same_options.begin(), c.same_options.end());
    const ProgramResult same = run_lexbuild(dir, args);
    ASSERT_EQ(same.status, 0) << same.out;

    write_text(dir.file("words.txt"), c.source);
    args = {"--infile=words.txt", "--outfile=words.pdb"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProgramResult r = run_lexbuild(dir, args);
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<std::string> added = warning_lines(r.out);
    for (const std::string& line : warning_lines(same.out)) std::erase(added, line);
    EXPECT_EQ(added, std::vector<std::string>{"lexbuild: " + c.warning}) << r.out;
    EXPECT_EQ(database_without_dates(read_bytes(dir.file("words.pdb"))),
              database_without_dates(read_bytes(dir.file("same.pdb"))))
        << c.warning;
  }
}

// Sources that still give a dictionary, though hardly the one meant: an
// empty pipe (its writer failed), UTF-16 text read as 8-bit bytes, and 8-bit
// text read as UTF-16.
TEST(SourceMistakes, AnEmptySourceAndTextReadInTheWrongWidthAreTold) {
  TempDir dir;
  RunOptions options;
  options.input = "";
  ProgramResult r = run_lexbuild(dir, {"--infile=-"}, options);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(warning_lines(r.out),
            std::vector<std::string>{
                "lexbuild: the source standard input is empty: the dictionary holds no entry\n"});

  write_text(dir.file("words.txt"), utf16(u"cat\tanimal\r\n"));
  r = run_lexbuild(dir, {"--infile=words.txt", "--source_format=tab"});
  EXPECT_EQ(r.status, 0) << r.out;
  const std::vector<std::string> warnings = warning_lines(r.out);
  ASSERT_FALSE(warnings.empty()) << r.out;
  EXPECT_EQ(warnings[0],
            "lexbuild: words.txt looks like 16-bit Unicode (UTF-16) text, which is read as 8-bit "
            "text without --unicode=1; give --unicode=1 and --source_format=tab\n");

  // The converse: 8-bit text read in 16-bit units pairs its bytes into words.
  write_text(dir.file("words.txt"), "cat\tanimal\r\ndog\tanimal\r\n");
  r = run_lexbuild(dir, {"--infile=words.txt", "--source_format=tab", "--unicode=1"});
  ASSERT_FALSE(warning_lines(r.out).empty()) << r.out;
  EXPECT_EQ(warning_lines(r.out)[0],
            "lexbuild: words.txt looks like 8-bit text, which is read as 16-bit Unicode (UTF-16) "
            "with --unicode=1; give --unicode=0 (or --source_encoding=utf-8 for a UTF-8 list)\n");
}

TEST(SourceMistakes, AUtf16ListOfALanguageWithoutACodePageSortsByItsRules) {
  // Armenian: case ignored, letters in their own order (ա բ գ), capitals
  // not first.
  TempDir dir;
  write_text(dir.file("words.txt"), utf16(u"Բա\tx\r\nաբ\ty\r\nԱգ\tz\r\n"));
  const ProgramResult r = run_lexbuild(dir, {"--infile=words.txt", "--unicode=1",
                                             "--source_format=tab", "--source_language=Armenian"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("lexbuild: "), std::string::npos) << r.out;
  // The trace ends each line with the bytes 0D 0A.
  EXPECT_EQ(read_text(dir.file("_filter.txt")),
            utf16(u"աբ\ty") + "\r\n" + utf16(u"Ագ\tz") + "\r\n" + utf16(u"Բա\tx") + "\r\n");
}

}  // namespace
}  // namespace lexbuild::testing
