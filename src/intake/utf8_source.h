// Sources in UTF-8: read once, at the start of the chain, into the list
// encoding the later stages know (the code page of the source language, or
// UTF-16), or refused with the line that cannot be stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/build_context.h"
#include "intake/current_list.h"
#include "intake/source_locale.h"
#include "intake/tab_splitter.h"
#include "platform/file.h"

namespace lexbuild {

/// Whether the file at `path` starts with the UTF-8 byte-order mark EF BB BF.
bool starts_with_utf8_bom(const std::string& path);

/// Whether the source is read as UTF-8: --source_encoding=utf-8, or a
/// byte-order mark.
bool source_is_utf8(const Settings& settings);

/// What a UTF-8 list becomes.
enum class ListTarget {
  kCodePage,  // one byte a character, in the code page of the locale
  kUtf16,     // UTF-16LE units, a character beyond U+FFFF as a surrogate pair
};

/// Converts the lines of a UTF-8 list, one at a time, into the bytes of the
/// target list. Invalid UTF-8 is fatal at once; characters the code page
/// lacks are gathered, and finish() refuses the list when there were any.
class Utf8LineConverter {
 public:
  /// `source` names the list in messages, `language` the --source_language.
  /// With `directives` it converts the first-line directives, which stay in
  /// the code page in every dictionary: a refusal must not answer with
  /// --unicode=1.
  Utf8LineConverter(const SourceLocale& locale, ListTarget target, std::string source,
                    const std::string& language, bool directives = false);

  /// Appends the converted text of line `line` (without its line end) to
  /// `out`; with `out` null the line is only checked.
  void convert(std::span<const uint8_t> text, int line, std::vector<uint8_t>* out);

  /// The UTF-16 units of line `line` (a kUtf16 converter), valid until the
  /// next call.
  std::span<const char16_t> units(std::span<const uint8_t> text, int line);

  /// Fatal, listing the first few, when characters the code page lacks were met.
  void finish() const;

  /// The code-page bytes of a UTF-8 text of line `line` (a first-line
  /// directive); fatal as finish() when a character is missing.
  std::string to_code_page(std::string_view text, int line);

 private:
  struct Missing {
    int line;
    char32_t code;
  };

  // Decodes line `line` into units_; fatal where it is not UTF-8.
  void decode(std::span<const uint8_t> text, int line);
  void check_utf16(int line) const;
  [[noreturn]] void report_invalid(std::span<const uint8_t> text, int line, size_t at) const;
  void utf16_bytes(int line, std::vector<uint8_t>* out) const;
  void note_missing(int line, char32_t code);

  ListTarget target_;
  bool directives_;
  std::string source_;
  std::string where_;  // where the text is stored, for the refusal
  // The byte of each BMP character in the code page, -1 where it has none.
  std::vector<int16_t> byte_of_;
  std::vector<char32_t> missing_units_;  // of the line being converted
  std::vector<uint8_t> scratch_;         // the bytes of a line only checked
  std::u16string units_;
  std::vector<Missing> first_missing_;
  size_t missing_count_ = 0;
};

/// The stage that reads a UTF-8 list: converts the current list into a
/// "utf8_in" stage file of the target encoding (8-bit with CR LF line ends,
/// or the 16-bit list), which becomes the current list. A byte-order mark is
/// dropped. Nothing is written when the list is refused.
void utf8_in(BuildContext& context, CurrentList& list, const SourceLocale& locale,
             ListTarget target);

/// Feeds the UTF-8 list in `file` to `splitter` as it converts it, line by
/// line (a byte-order mark dropped), and finishes both; refusals as
/// utf8_in(). So a TAB list is converted without a stage file of its own.
void feed_utf8(platform::InputFile& file, Utf8LineConverter& converter,
               TabSplitter<uint8_t>& splitter);
void feed_utf8(platform::InputFile& file, Utf8LineConverter& converter,
               TabSplitter<char16_t>& splitter);

/// Reads the UTF-8 list in `file` line by line (a byte-order mark dropped)
/// through a kCodePage `converter`, handing `on_bytes` the code-page bytes of
/// each line followed by its line end as read (LF, or a lone CR); then
/// finishes the converter, which refuses characters the code page lacks.
void feed_utf8_as_code_page(platform::InputFile& file, Utf8LineConverter& converter,
                            const std::function<void(std::span<const uint8_t>)>& on_bytes);

/// Checks that the current list is UTF-8 that a `target` list can store,
/// writing nothing.
void check_utf8_list(const BuildContext& context, const CurrentList& list,
                     const SourceLocale& locale, ListTarget target);

/// For a source read in a code page: one warning when the file at `path`
/// holds only valid UTF-8 and at least one multi-byte sequence.
void warn_if_utf8(BuildContext& context, const std::string& path);

}  // namespace lexbuild
