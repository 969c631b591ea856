// Several builds at once, as a makefile run with -j starts them: two that
// share a work folder must not mix their files, so the second is refused
// while the first runs; builds with work folders of their own run side by
// side, even when they share the folder of their stage files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "support/test_support.h"
#include "support/word_lists.h"

namespace lexbuild::testing {
namespace {

using std::chrono::steady_clock;

constexpr auto kPatience = std::chrono::seconds(30);

std::vector<uint8_t> without_dates(std::vector<uint8_t> database) {
  std::fill_n(database.begin() + 36, 8, 0);  // creation and modification date
  return database;
}

// The source of a build, handed over through a named pipe: the build waits
// for every byte, so the test decides when it may go on. The test keeps a
// reading end of its own open, so that what it writes waits in the pipe
// whether or not the build has opened it yet.
class PipedSource {
 public:
  explicit PipedSource(const std::string& path) {
    if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
    reader_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  }
  ~PipedSource() {
    close_writer();
    if (reader_ >= 0) ::close(reader_);
  }

  // Writes `text` and waits until the build has read all of it.
  bool feed(std::string_view text) {
    if (::write(writer_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      return false;
    }
    const auto deadline = steady_clock::now() + kPatience;
    for (;;) {
      int waiting = 0;
      if (::ioctl(reader_, FIONREAD, &waiting) != 0) return false;
      if (waiting == 0) return true;
      if (steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  // The build sees the end of its source.
  void close_writer() {
    if (writer_ >= 0) ::close(writer_);
    writer_ = -1;
  }

 private:
  int reader_ = -1;
  int writer_ = -1;
};

// A build that started reading its source from a pipe: it holds the work
// folder of `dir` until the test hands it the rest.
struct HeldBuild {
  HeldBuild(const TempDir& dir, const std::string& id)
      : source(dir.file("held.tab")),
        program(start_lexbuild(dir, {"--infile=held.tab", "--id=" + id})) {}

  // Lets the format detection read the first word and its TAB. The work
  // folder is taken before the source is first opened, so once that is
  // read the build holds it; the build then waits in its next reading.
  bool hold() { return source.feed("cat\t"); }

  // The whole list for the splitter, then the end of the source.
  bool release(std::string_view list) {
    const bool fed = source.feed(list);
    source.close_writer();
    return fed;
  }

  PipedSource source;
  RunningProgram program;
};

TEST(ConcurrentBuilds, ASecondBuildInTheSameWorkFolderIsRefused) {
  TempDir dir;
  const std::string list = "cat\tanimal\r\ndog\tanimal\r\nowl\tbird\r\n";
  write_text(dir.file("other.tab"), list);

  HeldBuild first(dir, "First");
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
  TempDir dir;
  write_text(dir.file("words.tab"), "cat\tanimal\r\n");
  {
    HeldBuild first(dir, "First");
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
