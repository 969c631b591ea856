// Shared by the fuzz targets: a private folder for the stages that work on
// files, made once per process and removed when the process ends, and the
// text-mode reading rules applied to a byte buffer.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

/// Stops the target, naming the property that failed, so that the fuzzer
/// keeps the input.
#define FUZZ_CHECK(condition) \
  ::lexbuild::fuzz::check_that((condition), #condition, __FILE__, __LINE__)

namespace lexbuild::fuzz {

inline void check_that(bool holds, const char* property, const char* file, int line) {
  if (holds) return;
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, property);
  std::abort();
}

/// A folder of this process's own under the system's temporary folder. TMP
/// points at it, so that stage files land there too.
inline const std::string& scratch_folder() {
  static const std::string folder = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "lexbuild-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    ::setenv("TMP", pattern.c_str(), 1);
    static const std::string removed_at_exit = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(removed_at_exit, ignored);
    });
    return pattern;
  }();
  return folder;
}

/// Path of `name` in the scratch folder.
inline std::string scratch_path(const std::string& name) { return scratch_folder() + "/" + name; }

/// Empties the scratch folder, so that every input starts from nothing.
inline void clear_scratch_folder() {
  for (const auto& entry : std::filesystem::directory_iterator(scratch_folder())) {
    std::error_code ignored;
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

/// The characters a text-mode reader gets from `bytes`: a CR LF pair is one
/// LF, a lone CR stays, and the byte 0x1A ends the input.
inline std::vector<uint8_t> text_mode_read(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> text;
  for (size_t i = 0; i < bytes.size() && bytes[i] != 0x1A; ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text.push_back(bytes[i]);
  }
  return text;
}

/// `text` as a text-mode writer stores it: every LF becomes CR LF.
inline std::vector<uint8_t> text_mode_written(std::span<const uint8_t> text) {
  std::vector<uint8_t> stored;
  for (uint8_t b : text) {
    if (b == '\n') stored.push_back('\r');
    stored.push_back(b);
  }
  return stored;
}

}  // namespace lexbuild::fuzz
