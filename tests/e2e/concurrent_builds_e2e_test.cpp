// Several builds at once, as a makefile run with -j starts them: two that
// share a work folder must not mix their files, so the second is refused
// while the first runs; builds with work folders of their own run side by
// side, even when they share the folder of their stage files.
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

#include "support/held_build.h"
#include "support/test_support.h"
#include "support/word_lists.h"

namespace lexbuild::testing {
namespace {

std::vector<uint8_t> without_dates(std::vector<uint8_t> database) {
  std::fill_n(database.begin() + 36, 8, 0);  // creation and modification date
  return database;
}

TEST(ConcurrentBuilds, ASecondBuildInTheSameWorkFolderIsRefused) {
#ifdef _WIN32
  GTEST_SKIP() << "a build is held through a named pipe in its folder, which Windows has not";
#endif
  TempDir dir;
  const std::string list = "cat\tanimal\r\ndog\tanimal\r\nowl\tbird\r\n";
  write_text(dir.file("other.tab"), list);

  HeldBuild first(dir, {"--id=First"});
  ASSERT_TRUE(first.hold()) << "the first build did not start reading";

  const ProgramResult second = run_lexbuild(dir, {"--infile=other.tab", "--id=Second"});
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.out, banner() + "lexbuild error: the work folder " + dir.path() +
                            " is in use by another lexbuild run; give each build its own TEMP "
                            "folder, or run the builds one after another\n");
  EXPECT_FALSE(exists(dir.file("Second.pdb")));

  // The first build goes on undisturbed and makes the same database as a
  // build of the same list alone.
  ASSERT_TRUE(first.release(list));
  const ProgramResult r = first.program.wait();
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(list_folder(dir.path()),
            (std::vector<std::string>{"First.pdb", "_filter.txt", "_tableDebug.txt", "held.tab",
                                      "other.tab"}))
      << "the lock file goes with the build";

  TempDir alone;
  write_text(alone.file("other.tab"), list);
  ASSERT_EQ(run_lexbuild(alone, {"--infile=other.tab", "--id=First"}).status, 0);
  EXPECT_EQ(without_dates(read_bytes(dir.file("First.pdb"))),
            without_dates(read_bytes(alone.file("First.pdb"))));

  // Once the first has ended the folder is free again.
  EXPECT_EQ(run_lexbuild(dir, {"--infile=other.tab", "--id=Second"}).status, 0);
}

TEST(ConcurrentBuilds, AKilledBuildDoesNotLockTheFolderForever) {
#ifdef _WIN32
  GTEST_SKIP() << "a build is held through a named pipe in its folder, which Windows has not";
#endif
  TempDir dir;
  write_text(dir.file("words.tab"), "cat\tanimal\r\n");
  {
    HeldBuild first(dir, {"--id=First"});
    ASSERT_TRUE(first.hold());
    first.program.kill(SIGKILL);
    EXPECT_EQ(first.program.wait().status, 128 + SIGKILL);
  }
  EXPECT_TRUE(exists(dir.file("lexbuild.lock"))) << "a killed build cannot tidy up";
  const ProgramResult r = run_lexbuild(dir, {"--infile=words.tab", "--id=Next"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_FALSE(exists(dir.file("lexbuild.lock")));
}

TEST(ConcurrentBuilds, BuildsWithWorkFoldersOfTheirOwnRunSideBySide) {
  // Their stage files share one folder (TMP): each takes names no other has.
  constexpr int kBuilds = 4;
  TempDir dir;
  TempDir tmp;
  std::vector<std::unique_ptr<TempDir>> work;
  std::vector<std::string> sources;
  for (int i = 0; i < kBuilds; ++i) {
    WordListOptions list_options;
    list_options.entries = 3000;
    sources.push_back(make_word_list(100 + i, list_options).shuffled);
    write_text(dir.file("words" + std::to_string(i) + ".tab"), sources.back());
    work.push_back(std::make_unique<TempDir>());
  }

  std::vector<RunningProgram> builds;
  for (int i = 0; i < kBuilds; ++i) {
    RunOptions options;
    options.env["TEMP"] = work[i]->path();
    options.env["TMP"] = tmp.path();
    const std::string n = std::to_string(i);
    builds.push_back(
        start_lexbuild(dir, {"--infile=words" + n + ".tab", "--id=Dict" + n}, options));
  }
  for (int i = 0; i < kBuilds; ++i) {
    const ProgramResult r = builds[i].wait();
    EXPECT_EQ(r.status, 0) << r.out;
  }
  EXPECT_EQ(list_folder(tmp.path()), std::vector<std::string>{}) << "every stage file went";

  for (int i = 0; i < kBuilds; ++i) {
    TempDir alone;
    const std::string n = std::to_string(i);
    write_text(alone.file("words.tab"), sources[i]);
    ASSERT_EQ(run_lexbuild(alone, {"--infile=words.tab", "--id=Dict" + n}).status, 0);
    EXPECT_EQ(without_dates(read_bytes(dir.file("Dict" + n + ".pdb"))),
              without_dates(read_bytes(alone.file("Dict" + n + ".pdb"))))
        << "build " << i;
  }
}

}  // namespace
}  // namespace lexbuild::testing
