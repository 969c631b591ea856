// Shared test helpers: temporary folders, file bytes, and running the built
// programs in a folder of their own.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexbuild::testing {

/// A fresh folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  /// Path of `name` inside the folder.
  std::string file(std::string_view name) const;

 private:
  std::string path_;
};

std::vector<uint8_t> read_bytes(const std::string& path);
std::string read_text(const std::string& path);
void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);
void write_text(const std::string& path, std::string_view text);
std::vector<uint8_t> bytes_of(std::string_view text);
/// Bytes from hexadecimal pairs, spaces ignored: "04 63 61 74".
std::vector<uint8_t> hex_bytes(std::string_view hex);
/// Hexadecimal pairs separated by spaces, for readable failure messages.
std::string to_hex(const std::vector<uint8_t>& bytes);
/// Whether anything exists at `path`.
bool exists(const std::string& path);
/// Names of the files in `folder`, sorted.
std::vector<std::string> list_folder(const std::string& folder);

struct ProgramResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 128 + signal number
};

/// A small file system of its own for one folder, seen by the child alone.
struct SmallFolder {
  std::string path;   // an existing folder, hidden by the mount while the child runs
  uint64_t size = 0;  // bytes; the system rounds up to whole pages
};

struct RunOptions {
  std::string cwd;
  /// Variables to set; a value of nullopt unsets the variable.
  std::map<std::string, std::optional<std::string>> env;
  /// Largest file the program may write, in bytes (RLIMIT_FSIZE), with
  /// SIGXFSZ ignored so that the write fails instead of killing it.
  std::optional<uint64_t> file_size_limit;
  /// Run the program as an unprivileged user (nobody) when the tests run as
  /// root, for whom permission bits do not stop a write. Folders the program
  /// must reach need make_accessible(); see unprivileged_unavailable().
  bool unprivileged = false;
  /// Mount a tmpfs of this size over the folder, in a mount namespace of
  /// the child's own, so that the folder fills up for real: needs root; see
  /// small_folder_unavailable().
  std::optional<SmallFolder> small_folder;
  /// Bytes the program reads from its standard input, a pipe that ends
  /// after them; without them, standard input is /dev/null.
  std::optional<std::string> input;
};

/// Exit status of a child whose set-up (privileges, mount) failed; the
/// reason is on its standard error.
inline constexpr int kChildSetupFailed = 125;

/// Runs `binary` with `args` (without the program path) and collects its output.
ProgramResult run_program(const std::string& binary, const std::vector<std::string>& args,
                          const RunOptions& options);

/// A program started with start_program(), running while the test goes on.
class RunningProgram {
 public:
  RunningProgram(int pid, int out_fd, int err_fd, int in_fd = -1, std::string input = {})
      : pid_(pid), out_fd_(out_fd), err_fd_(err_fd), in_fd_(in_fd), input_(std::move(input)) {}
  ~RunningProgram();  // kills and reaps the program if wait() was not called
  RunningProgram(RunningProgram&& other) noexcept;
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  RunningProgram& operator=(RunningProgram&&) = delete;

  /// Collects the output until the program ends, and its exit status.
  ProgramResult wait();
  /// Sends `signal` to the program.
  void kill(int signal);
  /// The program's process id, until wait() has collected it.
  int pid() const { return pid_; }

 private:
  int pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  int in_fd_ = -1;  // the writing end of the program's standard input
  std::string input_;
};

/// Starts `binary` and returns at once.
RunningProgram start_program(const std::string& binary, const std::vector<std::string>& args,
                             const RunOptions& options);

/// Runs the built lexbuild in `dir` with TEMP and TMP pointing at `dir`.
ProgramResult run_lexbuild(const TempDir& dir, const std::vector<std::string>& args,
                           RunOptions options = {});

/// Starts the built lexbuild like run_lexbuild() and returns at once.
RunningProgram start_lexbuild(const TempDir& dir, const std::vector<std::string>& args,
                              RunOptions options = {});

/// Why RunOptions::unprivileged cannot work here, or nothing when it can:
/// not root and yet permission bits are ignored, or the unprivileged user
/// cannot run the built program (its folders are closed to others).
std::optional<std::string> unprivileged_unavailable();

/// Why RunOptions::small_folder cannot work here, or nothing when it can.
std::optional<std::string> small_folder_unavailable();

#ifdef _WIN32
/// Why RunningProgram::kill() cannot deliver a Ctrl-Break event here, or
/// nothing when it can: the test runs without a console, or under wine,
/// which takes the event but hands it to no process.
std::optional<std::string> console_events_unavailable();
#endif

/// The database with its two dates (creation and modification) zeroed, so
/// that two builds of the same list compare equal.
std::vector<uint8_t> database_without_dates(std::vector<uint8_t> database);

/// Opens `folder` to every user: read and enter, and write when `writable`.
void make_accessible(const std::string& folder, bool writable);

/// The two-line banner and the empty line that start every run's output.
std::string banner();

}  // namespace lexbuild::testing
