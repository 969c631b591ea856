// The language list printed by "--help source_language".
#pragma once

#include <string>
#include <vector>

#include "driver/console.h"

namespace lexbuild {

/// The English names of the available languages, each once, in ascending
/// byte order.
std::vector<std::string> language_list();

/// Prints the language list, one name per line; returns the number printed.
int list_code_pages(Console& console);

}  // namespace lexbuild
