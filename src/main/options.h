// The first pass over the command line: fills the settings, prints the help
// text, the version line or the language list.
#pragma once

#include <string>
#include <vector>

#include "driver/console.h"
#include "driver/settings.h"

namespace lexbuild {

inline constexpr char kProgramVersion[] = "1.3.23";

/// Largest argument, in characters, that the option matching takes.
inline constexpr size_t kArgumentCapacity = 512;

/// Reads `args` (args[0] is the program's path) into `settings`. Returns true
/// when a build is to run, false when the run ends here (help, version,
/// language list, an unrecognised option). Bad values are fatal.
bool parse_options(const std::vector<std::string>& args, Settings& settings, Console& console);

/// The help text.
void print_usage(Console& console);

}  // namespace lexbuild
