// Measured Windows locale behaviour kept under tests/data/locale/, for tests
// that hold the program's locale services to it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lexbuild::testing {

/// Rows of a tab-separated file in tests/data/locale/, comment lines skipped.
std::vector<std::vector<std::string>> read_locale_table(const std::string& name);

/// A byte-indexed table from a file whose rows are "hex byte, hex value".
std::array<uint32_t, 256> read_byte_table(const std::string& name);

/// Class of each one-byte string and, at index 256, of the empty string.
std::array<int, 257> read_byte_classes(const std::string& name);

struct OrderedWord {
  bool equal_to_previous;
  std::u16string word;
};

/// A word list in its measured order.
std::vector<OrderedWord> read_word_order(const std::string& name);

}  // namespace lexbuild::testing
