#include "patcher/extras_options.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace lexbuild {
namespace {

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// Keeps the first font whose value is not empty; empty values are passed over.
void take_font(std::optional<FontChoice>& font, std::string_view argument, std::string_view option,
               size_t index) {
  if (font) return;
  if (const auto value = option_value(argument, option); value && !value->empty()) {
    font = FontChoice{std::string(*value), index};
  }
}

}  // namespace

std::optional<std::string_view> option_value(std::string_view argument, std::string_view option) {
  if (argument.size() < option.size()) return std::nullopt;
  for (size_t i = 0; i < option.size(); ++i) {
    if (ascii_lower(argument[i]) != ascii_lower(option[i])) return std::nullopt;
  }
  return argument.substr(option.size());
}

int32_t atoi_value(const std::string& text) {
  // strtol follows the same rules and saturates instead of overflowing.
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return static_cast<int32_t>(std::clamp<long>(value, std::numeric_limits<int32_t>::min(),
                                               std::numeric_limits<int32_t>::max()));
}

ExtrasOptions read_extras_options(const std::vector<std::string>& args) {
  ExtrasOptions options;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string_view argument = args[i];
    if (const auto value = option_value(argument, kPicturesDbOption)) {
      options.pictures_db = std::string(*value);
    }
    if (const auto value = option_value(argument, kAllowHtmlOption)) {
      options.allow_html = atoi_value(std::string(*value));
    }
    take_font(options.text_font, argument, kFontTextHrOption, i);
    take_font(options.list_font, argument, kFontListHrOption, i);
  }
  return options;
}

}  // namespace lexbuild
