#include "main/output_guard.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "compiler/compiler_test_util.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

namespace fs = std::filesystem;

struct OutputGuardTest : ::testing::Test {
  TempDir dir;
  Settings settings = init_settings_with_work_folder(dir.path());
  std::vector<std::string> args = {"lexbuild"};

  OutputGuardTest() {
    settings.infile = dir.file("words.tab");
    settings.outfile = dir.file("Test.pdb");
    write_text(settings.infile, "cat\tanimal\r\n");
  }
  std::vector<std::string> names() { return list_folder(dir.path()); }
};

TEST_F(OutputGuardTest, AFailedRunPutsTheEarlierDatabaseBack) {
  write_text(settings.outfile, "earlier");
  {
    OutputGuard guard(settings, args);
    EXPECT_EQ(read_text(guard.kept_path()), "earlier");
    // The build replaces the database, then fails.
    write_text(settings.outfile + ".new", "unfinished");
    fs::rename(settings.outfile + ".new", settings.outfile);
  }
  EXPECT_EQ(read_text(settings.outfile), "earlier");
  EXPECT_EQ(names(), (std::vector<std::string>{"Test.pdb", "words.tab"}));

  // A run that fails before writing anything changes nothing either.
  { OutputGuard guard(settings, args); }
  EXPECT_EQ(read_text(settings.outfile), "earlier");
  EXPECT_EQ(names(), (std::vector<std::string>{"Test.pdb", "words.tab"}));
}

TEST_F(OutputGuardTest, AFailedRunLeavesNoDatabaseWhereThereWasNone) {
  {
    OutputGuard guard(settings, args);
    EXPECT_EQ(guard.kept_path(), "");
    write_text(settings.outfile, "unfinished");
  }
  EXPECT_FALSE(exists(settings.outfile));
}

TEST_F(OutputGuardTest, ACommittedRunKeepsItsDatabaseAndDropsTheEarlierOne) {
  write_text(settings.outfile, "earlier");
  {
    OutputGuard guard(settings, args);
    write_text(settings.outfile + ".new", "new");
    fs::rename(settings.outfile + ".new", settings.outfile);
    guard.commit();
  }
  EXPECT_EQ(read_text(settings.outfile), "new");
  EXPECT_EQ(names(), (std::vector<std::string>{"Test.pdb", "words.tab"}));
}

TEST_F(OutputGuardTest, OutputNamesThatCannotTakeADatabaseAreRefused) {
  const auto refusal = [&] { return fatal_text([&] { OutputGuard guard(settings, args); }); };

  settings.outfile = dir.file("words.tab");
  EXPECT_EQ(refusal(), "lexbuild error: cannot write the database " + settings.outfile +
                           ": it is the file that --infile= names (" + settings.infile +
                           "), an input of the build; choose another --outfile=\n");
  EXPECT_EQ(read_text(settings.infile), "cat\tanimal\r\n");

  // The fonts of the post-build pass are inputs too, and so are side files.
  write_text(dir.file("f.fnt"), "font");
  settings.outfile = dir.file("f.fnt");
  args = {"lexbuild", "--FONT_LISTHR=" + dir.file("f.fnt")};
  EXPECT_NE(refusal().find("it is the file that --font_listHR= names"), std::string::npos);
  args = {"lexbuild"};
  settings.kbdfile = dir.file("f.fnt");
  EXPECT_NE(refusal().find("it is the file that --kbdfile= names"), std::string::npos);

  settings.outfile = dir.file("missing/Test.pdb");
  EXPECT_EQ(refusal(), "lexbuild error: the folder " + dir.file("missing") + " for the database " +
                           settings.outfile +
                           " does not exist; create it or choose another --outfile=\n");

  settings.outfile = dir.path();
  EXPECT_NE(refusal().find("a folder has that name"), std::string::npos);

  settings.outfile = dir.file("Test.pdb");
  write_text(settings.outfile, "earlier");
  fs::permissions(settings.outfile, fs::perms::owner_read);
  EXPECT_EQ(refusal(), "input file open failure. isn't it a ReadOnly file?");
  EXPECT_EQ(names(), (std::vector<std::string>{"Test.pdb", "f.fnt", "words.tab"}));
}

}  // namespace
}  // namespace lexbuild::testing
