// The post-build pass's own reading of the command line. It is separate from
// the first pass: an argument belongs to an option when it begins with the
// option's name in any ASCII letter case, and the value is the rest of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lexbuild {

inline constexpr std::string_view kPicturesDbOption = "--pictures_db=";
inline constexpr std::string_view kAllowHtmlOption = "--allow_html=";
inline constexpr std::string_view kFontTextHrOption = "--font_textHR=";
inline constexpr std::string_view kFontListHrOption = "--font_listHR=";

/// A font file named on the command line.
struct FontChoice {
  std::string path;
  /// Position of the argument that named it; the fonts are checked in this order.
  size_t argument = 0;
};

struct ExtrasOptions {
  /// The last --pictures_db= value; nothing when the option is absent.
  std::optional<std::string> pictures_db;
  /// The last --allow_html= value; nothing when the option is absent.
  std::optional<int32_t> allow_html;
  /// The first non-empty --font_textHR= and --font_listHR= values.
  std::optional<FontChoice> text_font;
  std::optional<FontChoice> list_font;
};

/// The value of `argument` when it begins with `option` (compared without
/// regard to ASCII letter case), else nothing.
std::optional<std::string_view> option_value(std::string_view argument, std::string_view option);

/// `text` by the atoi rules: leading white space, an optional sign, decimal
/// digits up to the first other character; 0 when there is no number. Values
/// beyond the 32-bit range are clamped to it.
int32_t atoi_value(const std::string& text);

/// Reads the four options from `args`, skipping args[0] (the program's path).
ExtrasOptions read_extras_options(const std::vector<std::string>& args);

}  // namespace lexbuild
