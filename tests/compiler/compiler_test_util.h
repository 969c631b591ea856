// Helpers shared by the compiler's tests: lists in both encodings, stores
// built from plain words, and catching fatal reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/byte_order.h"
#include "compiler/entry_parser.h"
#include "compiler/text_stores.h"
#include "driver/console.h"
#include "driver/report.h"

namespace lexbuild::testing {

/// Drops everything: for lists of many entries.
class NullConsole final : public Console {
 public:
  void write(std::string_view) override {}
};

/// The 16-bit list for ASCII `text`: every character becomes one
/// little-endian unit, and every CR LF the line-end bytes 0D 0A.
inline std::vector<uint8_t> wide_list(std::string_view text) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      bytes.push_back(0x0D);
      bytes.push_back(0x0A);
      ++i;
    } else {
      bytes.push_back(static_cast<uint8_t>(text[i]));
      bytes.push_back(0);
    }
  }
  return bytes;
}

/// Closed stores parsed from a whole 8-bit list (or, with `unicode`, from
/// its 16-bit form made by wide_list()).
inline TextStores stores_of_list(std::string_view list, bool unicode = false) {
  TextStores stores;
  NullConsole console;
  EntryParser parser(unicode, console, stores, "list");
  if (unicode) {
    parser.parse_list(wide_list(list), nullptr);
  } else {
    parser.parse_list({reinterpret_cast<const uint8_t*>(list.data()), list.size()}, nullptr);
  }
  stores.close();
  return stores;
}

/// Closed stores holding `words` (plain ASCII, or any bytes but CR and TAB
/// in 8-bit mode), each with the translation "x".
inline TextStores stores_of(const std::vector<std::string>& words, bool unicode = false) {
  std::string list;
  for (const std::string& word : words) list += word + "\tx\r\n";
  return stores_of_list(list, unicode);
}

/// The records of a database file, found through its record list.
inline std::vector<std::string> records_of(const std::vector<uint8_t>& file) {
  const uint16_t count = get_be16(file.data() + 76);
  std::vector<std::string> records;
  for (uint16_t k = 0; k < count; ++k) {
    const uint32_t start = get_be32(file.data() + 78 + 8 * k);
    const size_t end = k + 1 < count ? get_be32(file.data() + 78 + 8 * (k + 1)) : file.size();
    records.emplace_back(file.begin() + start, file.begin() + end);
  }
  return records;
}

/// The text of the fatal report that `action` raises, or "" when it raises none.
template <typename Action>
std::string fatal_text(Action&& action) {
  try {
    action();
  } catch (const FatalError& error) {
    return error.output();
  }
  return "";
}

}  // namespace lexbuild::testing
