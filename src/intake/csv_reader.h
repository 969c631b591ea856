// The CSV reader: the first stage of the CSV intake chain.
#pragma once

#include <string>

#include "driver/build_context.h"
#include "intake/utf8_source.h"

namespace lexbuild {

/// Obeys the directives of the source's first line, then converts the
/// comma-separated source named by settings.infile into a "csv_out" stage
/// file (unsorted 8-bit list). Returns the stage file's path, which also
/// becomes settings.infile. With `utf8_directives` the source is UTF-8: its
/// byte-order mark is skipped and the directive texts are put into the code
/// page through it. With `utf8_entries` as well, the records are read through
/// that converter into the code page as they are scanned; a list it refuses
/// leaves no stage file.
std::string csv_out(BuildContext& context, Utf8LineConverter* utf8_directives = nullptr,
                    Utf8LineConverter* utf8_entries = nullptr);

}  // namespace lexbuild
