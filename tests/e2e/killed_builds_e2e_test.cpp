// Builds ended by a signal at each moment of their run, as a closed
// terminal, a stopped service, a CI time-out or the OOM killer ends them.
// A signal the program can handle leaves the work, temporary and output
// folders as the build found them; SIGKILL leaves what it leaves, and the
// next build in the same folders clears it. Either way the earlier
// database is there afterwards (or, once the new one took its name, the
// whole new one), and the next build gives what a clean build gives. A
// build that shares the temporary folder meanwhile is never disturbed.
#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include "support/held_build.h"
#include "support/test_support.h"
#include "support/word_lists.h"

namespace lexbuild::testing {
namespace {

// The files a good build leaves besides its database: its trace files.
bool is_trace_file(const std::string& name) {
  return name == "_filter.txt" || name == "_tableDebug.txt";
}

// A folder's files with their bytes, but for the trace files: those of an
// earlier build go when the next one starts, which writes its own.
using Contents = std::map<std::string, std::vector<uint8_t>>;
Contents contents(const std::string& folder) {
  Contents files;
  for (const std::string& name : list_folder(folder)) {
    if (!is_trace_file(name)) files[name] = read_bytes(folder + "/" + name);
  }
  return files;
}

std::string names(const Contents& files) {
  std::string text;
  for (const auto& [name, bytes] : files) text += " " + name;
  return text;
}

// Where a moment is seen: the first file of that name made or opened there.
enum class Folder { kWork, kTmp, kOut };

struct Moment {
  const char* what;
  Folder folder;
  const char* name_start;  // nullptr: the build waits for its font
};

constexpr Moment kMoments[] = {
    {"taking the work folder", Folder::kWork, "lexbuild.lock"},
    {"splitting the list", Folder::kTmp, "csv_cut_out"},
    {"sorting it", Folder::kTmp, ".csv_cut_out"},
    {"compiling", Folder::kWork, "_filter.txt"},
    {"assembling the records", Folder::kWork, "rec_0.bin"},
    {"writing the new database", Folder::kOut, ".Dict.pdb.tmp"},
    // The new database has the name, the earlier one is kept aside until the
    // font (a named pipe here) is patched in.
    {"patching the new database", Folder::kOut, nullptr},
};

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGKILL};

// Holds every process that opens a file in `folder` until the test lets it
// go on (fanotify's permission events, which need root): so a signal sent
// meanwhile comes to the build right where the open returns, between the
// making of a file and whatever the build does next.
class OpenGate {
 public:
  explicit OpenGate(const std::string& folder)
      : fd_(::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE)) {
    if (fd_ >= 0 && ::fanotify_mark(fd_, FAN_MARK_ADD, FAN_OPEN_PERM | FAN_EVENT_ON_CHILD, AT_FDCWD,
                                    folder.c_str()) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~OpenGate() { close(); }  // lets every open that waits go on
  OpenGate(const OpenGate&) = delete;
  OpenGate& operator=(const OpenGate&) = delete;

  bool works() const { return fd_ >= 0; }

  /// Lets opens go on until `pid` opens a file whose name starts with
  /// `start`, and calls `meanwhile` before that one goes on too; false when
  /// that does not come within 30 s.
  template <typename Meanwhile>
  bool await(int pid, std::string_view start, Meanwhile meanwhile) {
    alignas(struct fanotify_event_metadata) char buffer[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      struct pollfd ready = {fd_, POLLIN, 0};
      if (::poll(&ready, 1, 100) <= 0) continue;
      ssize_t n = ::read(fd_, buffer, sizeof buffer);
      auto* event = reinterpret_cast<struct fanotify_event_metadata*>(buffer);
      bool found = false;
      for (; FAN_EVENT_OK(event, n); event = FAN_EVENT_NEXT(event, n)) {
        if (event->fd < 0) continue;
        if (!found && event->pid == pid && opened_name(event->fd).starts_with(start)) {
          meanwhile();
          found = true;
        }
        // Refused only for an open that SIGKILL already ended.
        const struct fanotify_response allow = {event->fd, FAN_ALLOW};
        [[maybe_unused]] const ssize_t answered = ::write(fd_, &allow, sizeof allow);
        ::close(event->fd);
      }
      if (found) return true;
    }
    return false;
  }

  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  static std::string opened_name(int fd) {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
    return error ? std::string() : path.filename().string();
  }

  int fd_ = -1;
};

std::optional<std::string> gate_unavailable() {
  TempDir dir;
  if (OpenGate(dir.path()).works()) return std::nullopt;
  return std::string("holding a process in its open() needs fanotify and root: ") +
         std::strerror(errno);
}

// Waits (30 s at most) until the build opened the named pipe `path` to read
// it; returns the writing end, which keeps the build waiting while it is open.
int wait_for_reader(const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) return fd;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return -1;
}

class KilledBuilds : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WordListOptions options;
    options.entries = 3000;
    earlier_list_ = new std::string(make_word_list(11, options).shuffled);
    new_list_ = new std::string(make_word_list(12, options).shuffled);
    earlier_ = new std::vector<uint8_t>(clean_build(*earlier_list_));
    new_ = new std::vector<uint8_t>(database_without_dates(clean_build(*new_list_)));
  }
  static void TearDownTestSuite() {
    delete earlier_list_;
    delete new_list_;
    delete earlier_;
    delete new_;
  }

  static std::vector<uint8_t> clean_build(const std::string& list) {
    TempDir dir;
    write_text(dir.file("list.tab"), list);
    const ProgramResult r = run_lexbuild(dir, {"--infile=list.tab", "--id=Dict"});
    if (r.status != 0) throw std::runtime_error("clean build failed: " + r.out);
    return read_bytes(dir.file("Dict.pdb"));
  }

  void SetUp() override {
    for (const char* folder : {"work", "tmp", "out", "lists"}) {
      std::filesystem::create_directory(dir_.file(folder));
    }
    write_text(dir_.file("lists/earlier.tab"), *earlier_list_);
    write_text(dir_.file("lists/new.tab"), *new_list_);
    ASSERT_EQ(::mkfifo(dir_.file("lists/font").c_str(), 0600), 0);
    write_bytes(dir_.file("out/Dict.pdb"), *earlier_);
    options_.cwd = dir_.file("out");
    options_.env["TEMP"] = dir_.file("work");
    options_.env["TMP"] = dir_.file("tmp");
  }

  std::string folder(Folder which) const {
    return dir_.file(which == Folder::kWork ? "work" : which == Folder::kTmp ? "tmp" : "out");
  }
  std::map<Folder, Contents> folders() const {
    return {{Folder::kWork, contents(folder(Folder::kWork))},
            {Folder::kTmp, contents(folder(Folder::kTmp))},
            {Folder::kOut, contents(folder(Folder::kOut))}};
  }

  // The build of the new list, its progress output dropped so that it never
  // waits for the test to read it.
  RunningProgram start_new_build(const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"-c", "exec \"$0\" \"$@\" >/dev/null", LEXBUILD_BINARY,
                                     "--id=Dict", "--infile=" + dir_.file("lists/new.tab")};
    args.insert(args.end(), more.begin(), more.end());
    return start_program("/bin/sh", args, options_);
  }

  // Ends the build at `moment` with `signal_number`; false when the moment
  // never came.
  bool end_at(const Moment& moment, int signal_number) {
    OpenGate gate(folder(moment.folder));
    if (!gate.works()) return false;
    // Without a font the build cannot end before the signal comes.
    RunningProgram build = start_new_build({"--font_textHR=" + dir_.file("lists/font")});
    int font = -1;
    bool came = false;
    if (moment.name_start) {
      came = gate.await(build.pid(), moment.name_start, [&] { build.kill(signal_number); });
    } else {
      gate.close();
      font = wait_for_reader(dir_.file("lists/font"));
      came = font >= 0;
      build.kill(signal_number);
    }
    gate.close();
    status_ = build.wait().status;
    if (font >= 0) ::close(font);
    return came;
  }

  // The database after the signal: the earlier one, or once the new one
  // has taken the name, the whole new one.
  void expect_a_whole_database(const std::vector<uint8_t>& earlier, const std::string& row) {
    const std::vector<uint8_t> database = read_bytes(dir_.file("out/Dict.pdb"));
    EXPECT_TRUE(database == earlier || database_without_dates(database) == *new_)
        << row << ": the database is damaged";
  }

  void expect_a_clean_next_build(const std::string& row) {
    RunOptions options = options_;
    const ProgramResult next = run_program(
        LEXBUILD_BINARY, {"--id=Dict", "--infile=" + dir_.file("lists/earlier.tab")}, options);
    ASSERT_EQ(next.status, 0) << row << ": " << next.out;
    const std::map<Folder, Contents> after = folders();
    EXPECT_EQ(list_folder(folder(Folder::kWork)),
              (std::vector<std::string>{"_filter.txt", "_tableDebug.txt"}))
        << row;
    EXPECT_EQ(names(after.at(Folder::kTmp)), "") << row;
    EXPECT_EQ(names(after.at(Folder::kOut)), " Dict.pdb") << row;
    EXPECT_EQ(database_without_dates(read_bytes(dir_.file("out/Dict.pdb"))),
              database_without_dates(*earlier_))
        << row;
  }

  static std::string* earlier_list_;
  static std::string* new_list_;
  static std::vector<uint8_t>* earlier_;  // as a build wrote it
  static std::vector<uint8_t>* new_;      // dates cleared

  TempDir dir_;
  RunOptions options_;
  int status_ = -1;
};

std::string* KilledBuilds::earlier_list_ = nullptr;
std::string* KilledBuilds::new_list_ = nullptr;
std::vector<uint8_t>* KilledBuilds::earlier_ = nullptr;
std::vector<uint8_t>* KilledBuilds::new_ = nullptr;

TEST_F(KilledBuilds, EverySignalAtEveryMomentThenANextBuild) {
  if (const auto reason = gate_unavailable()) GTEST_SKIP() << *reason;
  // A good build of the earlier list first, so that the folders hold what
  // one leaves, trace files included.
  expect_a_clean_next_build("a good build");
  for (const Moment& moment : kMoments) {
    for (const int signal_number : kSignals) {
      const std::string row = std::string(strsignal(signal_number)) + " while " + moment.what;
      const std::map<Folder, Contents> before = folders();
      ASSERT_TRUE(end_at(moment, signal_number)) << row << ": the moment never came";
      EXPECT_EQ(status_, 128 + signal_number) << row;
      expect_a_whole_database(before.at(Folder::kOut).at("Dict.pdb"), row);
      if (signal_number != SIGKILL) {
        // Nothing of the build stays, and the earlier database is back.
        const std::map<Folder, Contents> after = folders();
        EXPECT_TRUE(after == before)
            << row << ": the folders hold" << names(after.at(Folder::kWork)) << " /"
            << names(after.at(Folder::kTmp)) << " /" << names(after.at(Folder::kOut));
      }
      expect_a_clean_next_build(row);
    }
  }
}

TEST_F(KilledBuilds, ABuildSharingTheTemporaryFolderIsNeverTouched) {
  // The other build has a work folder of its own and its stage file in the
  // same TMP; it waits there, mid-copy of its piped source, while this
  // folder's build is killed and the next one clears what that one left.
  TempDir other;
  RunOptions other_options;
  other_options.env["TMP"] = dir_.file("tmp");
  HeldBuild survivor(other, {"--id=Other"}, other_options);
  ASSERT_TRUE(survivor.hold());
  const std::map<Folder, Contents> before = folders();
  ASSERT_EQ(before.at(Folder::kTmp).size(), 1u) << "the other build's copy of its source";

  if (const auto reason = gate_unavailable()) GTEST_SKIP() << *reason;
  ASSERT_TRUE(end_at(kMoments[2], SIGKILL));
  ASSERT_EQ(status_, 128 + SIGKILL);
  EXPECT_GT(contents(folder(Folder::kTmp)).size(), 1u)
      << "a killed build cannot tidy up:" << names(contents(folder(Folder::kTmp)));
  RunOptions options = options_;
  ASSERT_EQ(run_program(LEXBUILD_BINARY,
                        {"--id=Dict", "--infile=" + dir_.file("lists/earlier.tab")}, options)
                .status,
            0);
  EXPECT_EQ(contents(folder(Folder::kTmp)), before.at(Folder::kTmp));

  ASSERT_TRUE(survivor.release(std::string(HeldBuild::kHeldStart) + "animal\r\ndog\tanimal\r\n"));
  const ProgramResult r = survivor.program.wait();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(names(contents(folder(Folder::kTmp))), "");
  EXPECT_TRUE(exists(other.file("Other.pdb")));
}

TEST_F(KilledBuilds, WhatEarlierBuildsLeftNeverFillsTheFolderForTheNext) {
  if (const auto reason = small_folder_unavailable()) GTEST_SKIP() << *reason;
  // A work folder (TMP too) with room for the list twice over, as the sort
  // needs it, but not for a third copy: the trace of a good build, the
  // source copy of one killed while it read its source, piped. The builds
  // run in one shell, which sees the small folder for as long as it runs.
  const std::string work = dir_.file("work");
  const uint64_t list = std::filesystem::file_size(dir_.file("lists/earlier.tab"));
  RunOptions options;
  options.cwd = dir_.file("out");
  options.env["TEMP"] = work;
  options.env["TMP"] = work;
  options.small_folder = SmallFolder{work, 2 * list + 64 * 1024};
  const std::string script =
      "build() { \"$0\" --id=Dict \"$@\" >/dev/null; echo $?; }\n"
      "build --infile=../lists/earlier.tab\n"
      "mkfifo ../lists/held\n"
      "\"$0\" --id=Dict --infile=../lists/held >/dev/null & held=$!\n"
      "exec 3>../lists/held; cat ../lists/earlier.tab >&3\n"
      "kill -KILL $held; wait $held; echo $?; exec 3>&-\n"
      "ls -A \"$TEMP\" | tr '\\n' ' '; echo\n"
      "build --infile=../lists/earlier.tab\n"
      "ls -A \"$TEMP\" | tr '\\n' ' '; echo\n";
  const ProgramResult r = run_program("/bin/sh", {"-c", script, LEXBUILD_BINARY}, options);
  ASSERT_NE(r.status, kChildSetupFailed) << r.err;
  EXPECT_EQ(r.out,
            "0\n"
            "137\n"
            "csv_in1 lexbuild.journal lexbuild.lock \n"
            "0\n"
            "_filter.txt _tableDebug.txt \n")
      << r.err;
  EXPECT_EQ(database_without_dates(read_bytes(dir_.file("out/Dict.pdb"))),
            database_without_dates(*earlier_));
}

}  // namespace
}  // namespace lexbuild::testing
