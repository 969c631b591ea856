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

struct RunOptions {
  std::string cwd;
  /// Variables to set; a value of nullopt unsets the variable.
  std::map<std::string, std::optional<std::string>> env;
  /// Largest file the program may write, in bytes (RLIMIT_FSIZE), with
  /// SIGXFSZ ignored so that the write fails instead of killing it.
  std::optional<uint64_t> file_size_limit;
};

/// Runs `binary` with `args` (without the program path) and collects its output.
ProgramResult run_program(const std::string& binary, const std::vector<std::string>& args,
                          const RunOptions& options);

/// Runs the built lexbuild in `dir` with TEMP and TMP pointing at `dir`.
ProgramResult run_lexbuild(const TempDir& dir, const std::vector<std::string>& args,
                           RunOptions options = {});

/// The two-line banner and the empty line that start every run's output.
std::string banner();

}  // namespace lexbuild::testing
