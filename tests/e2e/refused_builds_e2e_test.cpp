// Builds that cannot be done as asked: places the user may not write, files
// that are missing or closed, an output name that is one of the inputs. Each
// is refused before any work, with a message naming the file and saying what
// to do, status 1, and an earlier database left byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

namespace fs = std::filesystem;

class RefusedBuilds : public ::testing::Test {
 protected:
  void SetUp() override {
    // The earlier database holds other words than this run's, so that it
    // cannot be mistaken for one the run made.
    write_text(dir_.file("words.tab"), "cat\tanimal\r\ndog\tanimal\r\n");
    write_text(dir_.file("old.tab"), "owl\tbird\r\n");
    ASSERT_EQ(run_lexbuild(dir_, {"--infile=old.tab", "--id=Test"}).status, 0);
    earlier_ = read_bytes(dir_.file("Test.pdb"));
    for (const char* name : {"old.tab", "_filter.txt", "_tableDebug.txt"}) {
      fs::remove(dir_.file(name));
    }
  }

  ProgramResult build(std::vector<std::string> extra, RunOptions options = {}) {
    std::vector<std::string> args = {"--infile=words.tab", "--id=Test"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_lexbuild(dir_, args, std::move(options));
  }

  // Refused with exactly `message` after "lexbuild error: ", before any work.
  // `message` follows "lexbuild error: ", or stands bare when `bare`.
  void expect_refused(const ProgramResult& r, const std::string& message,
                      const std::string& database = "Test.pdb", bool bare = false) {
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(r.out.ends_with(bare ? "\n" + message : "\nlexbuild error: " + message)) << r.out;
    EXPECT_EQ(r.out.find("Beginning of building"), std::string::npos) << "no timing lines";
    EXPECT_EQ(r.out.find("Analyzing..."), std::string::npos) << "no work was done";
    EXPECT_EQ(read_bytes(dir_.file(database)), earlier_);
    // Neither a temporary file beside the database, nor a stage, trace or lock file.
    for (const std::string& name : list_folder(dir_.path())) {
      EXPECT_FALSE(name.starts_with(".") || name.starts_with("csv_") || name.starts_with("_") ||
                   name == "lexbuild.lock")
          << name << " was left behind";
    }
  }

  // Runs as an unprivileged user from here on; false (the test skipped) when
  // that cannot be done.
  bool unprivileged(RunOptions& options) {
    if (const auto reason = unprivileged_unavailable()) {
      skip_reason_ = *reason;
      return false;
    }
    make_accessible(dir_.path(), true);
    options.unprivileged = true;
    return true;
  }

  TempDir dir_;
  std::vector<uint8_t> earlier_;
  std::string skip_reason_;
};

TEST_F(RefusedBuilds, AReadOnlyDatabaseIsLeftAlone) {
  fs::permissions(dir_.file("Test.pdb"), fs::perms::owner_read | fs::perms::group_read);
  // Even for a user whom the system lets write anyway: its owner marked it.
  ProgramResult r = build({});
  expect_refused(r, "input file open failure. isn't it a ReadOnly file?", "Test.pdb", true);
  // On Windows the same call sets the file's read-only attribute, which stays.
  const fs::perms kept = fs::status(dir_.file("Test.pdb")).permissions();
  EXPECT_EQ(kept & fs::perms::owner_write, fs::perms::none);
#ifndef _WIN32
  EXPECT_EQ(kept, fs::perms::owner_read | fs::perms::group_read);
#endif

  // The post-build options change nothing about that.
  r = build({"--allow_html=1"});
  expect_refused(r, "input file open failure. isn't it a ReadOnly file?", "Test.pdb", true);
}

TEST_F(RefusedBuilds, AnOutputFolderWithoutWritePermission) {
  RunOptions options;
  if (!unprivileged(options)) GTEST_SKIP() << skip_reason_;
  fs::create_directory(dir_.file("out"));
  write_bytes(dir_.file("out/Test.pdb"), earlier_);
  make_accessible(dir_.file("out"), false);
  const ProgramResult r = build({"--outfile=out/Test.pdb"}, options);
  expect_refused(r,
                 "cannot write the database out/Test.pdb: the folder out is not writable; make "
                 "it writable or choose another --outfile=\n",
                 "out/Test.pdb");
}

TEST_F(RefusedBuilds, ADatabaseOfAnotherUser) {
  // The folder is open, but the file belongs to another user who keeps it to himself.
  RunOptions options;
  if (!unprivileged(options)) GTEST_SKIP() << skip_reason_;
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give the file to another user";
  const ProgramResult r = build({}, options);
  expect_refused(r, "input file open failure. isn't it a ReadOnly file?", "Test.pdb", true);
}

TEST_F(RefusedBuilds, WorkAndTemporaryFoldersThatCannotBeWritten) {
  RunOptions options;
  if (!unprivileged(options)) GTEST_SKIP() << skip_reason_;
  ::chown(dir_.file("Test.pdb").c_str(), 65534, 65534);  // nobody's own database (as root)
  const std::string work = dir_.file("work");
  const std::string tmp = dir_.file("tmp");
  fs::create_directory(work);
  fs::create_directory(tmp);
  make_accessible(work, false);
  make_accessible(tmp, false);
  options.env["TEMP"] = work;
  options.env["TMP"] = work;
  ProgramResult r = build({}, options);
  expect_refused(r, "cannot create files in the work folder " + work +
                        ": Permission denied; set TEMP to a folder you can write to\n");

  make_accessible(work, true);
  options.env["TMP"] = tmp;
  r = build({}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("\nlexbuild error: could not create file " + tmp +
                              "/csv_cut_out1: Permission denied; set TMP to a folder with room "
                              "that you can write to\n"))
      << r.out;
  EXPECT_EQ(read_bytes(dir_.file("Test.pdb")), earlier_);
  EXPECT_EQ(list_folder(work), std::vector<std::string>{}) << "the lock file goes with the run";
}

TEST_F(RefusedBuilds, AWorkFolderThatDoesNotExist) {
  RunOptions options;
  options.env["TEMP"] = dir_.file("gone");
  const ProgramResult r = build({}, options);
  expect_refused(
      r, "work folder " + dir_.file("gone") + " does not exist; set TEMP to an existing folder\n");

  // A file of that name is there, but it is no folder.
  options.env["TEMP"] = dir_.file("words.tab");
  expect_refused(build({}, options), "work folder " + dir_.file("words.tab") +
                                         " is not a folder; set TEMP to an existing folder\n");
}

TEST_F(RefusedBuilds, SideFilesNamedOnTheCommandLineMustExist) {
  const struct {
    std::string option;
    std::string kind;
  } cases[] = {
      {"--aboutfile=", "about"},
      {"--abbrfile=", "abbreviations"},
      {"--fontfile=", "font"},
      {"--kbdfile=", "keyboard"},
  };
  for (const auto& c : cases) {
    const ProgramResult r = build({c.option + "missing.txt"});
    expect_refused(r, "the " + c.kind + " file missing.txt named by " + c.option +
                          " cannot be read: No such file or directory; name an existing file or "
                          "leave the option out\n");
  }
  // --font_textlr= names the same file as --fontfile=.
  ProgramResult r = build({"--font_textlr=missing.txt"});
  expect_refused(r,
                 "the font file missing.txt named by --fontfile= cannot be read: No such file or "
                 "directory; name an existing file or leave the option out\n");

  // A folder is no file either.
  fs::create_directory(dir_.file("folder.txt"));
  r = build({"--aboutfile=folder.txt"});
  expect_refused(r,
                 "the about file folder.txt named by --aboutfile= cannot be read: Is a "
                 "directory; name an existing file or leave the option out\n");
}

TEST_F(RefusedBuilds, AnUnreadableSideFile) {
  RunOptions options;
  if (!unprivileged(options)) GTEST_SKIP() << skip_reason_;
  ::chown(dir_.file("Test.pdb").c_str(), 65534, 65534);
  write_text(dir_.file("secret.txt"), "about");
  fs::permissions(dir_.file("secret.txt"), fs::perms::owner_read);
  const ProgramResult r = build({"--abbrfile=secret.txt"}, options);
  expect_refused(r,
                 "the abbreviations file secret.txt named by --abbrfile= cannot be read: "
                 "Permission denied; name an existing file or leave the option out\n");
}

TEST_F(RefusedBuilds, AMissingHighResolutionFontKeepsTheEarlierDatabase) {
  // Found missing only after the database was written: it is put back.
  const ProgramResult r = build({"--pictures_db=P", "--font_textHR=missing.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("\nfont_textHR file open failure.")) << r.out;
  EXPECT_EQ(read_bytes(dir_.file("Test.pdb")), earlier_);
  for (const std::string& name : list_folder(dir_.path())) {
    EXPECT_NE(name.front(), '.') << name << " was left beside the database";
  }
}

TEST_F(RefusedBuilds, TheDatabaseMayNotReplaceAnInput) {
  const std::vector<uint8_t> source = read_bytes(dir_.file("words.tab"));
  ProgramResult r = run_lexbuild(dir_, {"--infile=words.tab", "--outfile=./words.tab"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(
      r.out.ends_with("lexbuild error: cannot write the database ./words.tab: it is the "
                      "file that --infile= names (words.tab), an input of the build; "
                      "choose another --outfile=\n"))
      << r.out;
  EXPECT_EQ(read_bytes(dir_.file("words.tab")), source);

  write_bytes(dir_.file("text.fnt"), {1, 2, 3});
  r = build({"--outfile=text.fnt", "--font_textHR=text.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("it is the file that --font_textHR= names (text.fnt)"), std::string::npos);
  EXPECT_EQ(read_bytes(dir_.file("text.fnt")), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(RefusedBuilds, AnOutputNameThatCannotHoldADatabase) {
  ProgramResult r = build({"--outfile=nowhere/Test.pdb"});
  expect_refused(r,
                 "the folder nowhere for the database nowhere/Test.pdb does not exist; create it "
                 "or choose another --outfile=\n");
  fs::create_directory(dir_.file("Folder.pdb"));
  r = build({"--outfile=Folder.pdb"});
  expect_refused(r,
                 "cannot write the database Folder.pdb: a folder has that name; choose another "
                 "--outfile=\n");
}

TEST_F(RefusedBuilds, AFailedCsvBuildTakesItsDirectiveFilesAlong) {
  // Left in the work folder, the about text would become the next build's.
  const std::string work = dir_.file("work");
  fs::create_directory(work);
  RunOptions options;
  options.env["TEMP"] = work;
  write_text(dir_.file("bad.csv"), "#@!Velmora!@# ABOUT=[Mine] ABBREVIATION=[a\\nb]\na\"b,c\n");
  ProgramResult r = run_lexbuild(dir_, {"--infile=bad.csv", "--id=Test"}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("lexbuild error: Error parsing at line: 1")) << r.out;
  EXPECT_FALSE(exists(work + "/_about.txt"));
  EXPECT_FALSE(exists(work + "/_abbr.txt"));
  EXPECT_EQ(read_bytes(dir_.file("Test.pdb")), earlier_);

  r = build({}, options);
  ASSERT_EQ(r.status, 0) << r.out;
  TempDir clean;
  write_text(clean.file("words.tab"), read_text(dir_.file("words.tab")));
  ASSERT_EQ(run_lexbuild(clean, {"--infile=words.tab", "--id=Test"}).status, 0);
  EXPECT_EQ(read_bytes(dir_.file("Test.pdb")).size(), read_bytes(clean.file("Test.pdb")).size())
      << "no about or abbreviations record";
}

}  // namespace
}  // namespace lexbuild::testing
