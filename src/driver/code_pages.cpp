#include "driver/code_pages.h"

#include <algorithm>

#include "platform/languages.h"

namespace lexbuild {

std::vector<std::string> language_list() {
  std::vector<std::string> names = platform::installed_language_names();
  // Byte order: std::string compares its characters as unsigned values.
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

int list_code_pages(Console& console) {
  const std::vector<std::string> names = language_list();
  for (const std::string& name : names) console.write(name + "\n");
  return static_cast<int>(names.size());
}

}  // namespace lexbuild
