// The CSV reader: the first stage of the CSV intake chain.
#pragma once

#include <string>

#include "driver/build_context.h"

namespace lexbuild {

/// Obeys the directives of the source's first line, then converts the
/// comma-separated source named by settings.infile into a "csv_out" stage
/// file (unsorted 8-bit list). Returns the stage file's path, which also
/// becomes settings.infile.
std::string csv_out(BuildContext& context);

}  // namespace lexbuild
