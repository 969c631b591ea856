// Directives in the first line of a CSV source: ABBREVIATION=[...],
// ABOUT=[...], ID=[...] and LARGEFONT=[...].
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "driver/build_context.h"
#include "intake/utf8_source.h"

namespace lexbuild {

/// At most this many bytes of the first line are looked at.
inline constexpr size_t kHeaderLineCapacity = 2047;
/// The reader's dictionary list shows at most this many characters of a name.
inline constexpr size_t kIdDirectiveLimit = 12;

/// The value of directive `name` ("ID=") in `line`: its first occurrence
/// (case-sensitive), the byte after "=" skipped, up to the next "]" or the end
/// of the line. Nothing when the directive is absent.
std::optional<std::string> directive_value(std::string_view line, std::string_view name);

/// Reads the first line of the source (as text, up to its first LF, at most
/// 2047 bytes) and obeys each directive whose command-line option was not
/// given: writes the abbreviations and about files, sets `id` and
/// `largefont`. Does nothing when the source cannot be opened. With
/// `utf8_text` the line is UTF-8 (a byte-order mark is skipped) and the
/// texts are put into the code page through it.
void read_header_directives(BuildContext& context, Utf8LineConverter* utf8_text = nullptr);

/// Text of a directive file: break escapes become `line_break`, then a zero byte.
std::string directive_file_text(std::string_view value, char line_break);

}  // namespace lexbuild
