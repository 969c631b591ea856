#include "support/locale_data.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/unicode_text.h"

namespace lexbuild::testing {

std::vector<std::vector<std::string>> read_locale_table(const std::string& name) {
  const std::string path = LEXBUILD_SOURCE_DIR "/tests/data/locale/" + name;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '\t')) fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

std::array<uint32_t, 256> read_byte_table(const std::string& name) {
  std::array<uint32_t, 256> table{};
  for (const auto& row : read_locale_table(name)) {
    table.at(std::stoul(row.at(0), nullptr, 16)) =
        static_cast<uint32_t>(std::stoul(row.at(1), nullptr, 16));
  }
  return table;
}

std::array<int, 257> read_byte_classes(const std::string& name) {
  std::array<int, 257> classes{};
  for (const auto& row : read_locale_table(name)) {
    const size_t index = row.at(0) == "EMPTY" ? 256 : std::stoul(row.at(0), nullptr, 16);
    classes.at(index) = std::stoi(row.at(1));
  }
  return classes;
}

std::vector<OrderedWord> read_word_order(const std::string& name) {
  std::vector<OrderedWord> words;
  for (const auto& row : read_locale_table(name)) {
    const std::string& text = row.at(1);
    std::u16string word;
    platform::append_utf16_of_utf8(
        std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), word);
    words.push_back(OrderedWord{row.at(0) == "=", std::move(word)});
  }
  return words;
}

}  // namespace lexbuild::testing
