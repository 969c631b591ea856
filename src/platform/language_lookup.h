// Which language a --source_language= value names, and that language's
// Windows ANSI code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lexbuild::platform {

struct SourceLanguage {
  /// Locale id of the language, with its script where that matters ("ru",
  /// "zh_Hant", "sr_Latn").
  std::string locale_id;
  /// Its Windows ANSI code page: 1250 to 1258, 874, or a double-byte one;
  /// 0 for a language that has none (Armenian, Hindi, Georgian, ...), whose
  /// text is Unicode only.
  int code_page = 0;
};

/// The language that `name` names: an English language name as the language
/// list prints it ("Russian") or as Windows prints it ("Chinese
/// (Traditional)", "Serbian (Latin)"), in any letter case, or a locale id
/// ("ru", "ru_RU", "zh-TW"). Nothing for any other name and for "C" and
/// "POSIX". A language that the locale services know without an ANSI code
/// page comes with code page 0.
std::optional<SourceLanguage> find_source_language(std::string_view name);

}  // namespace lexbuild::platform
