// One run of lexbuild: settings, command line, source format, output name,
// intake (which compiles the database), post-build extras and timing.
#pragma once

#include <string>
#include <vector>

#include "driver/build_context.h"
#include "driver/console.h"
#include "driver/settings.h"

namespace lexbuild {

/// Two lines printed before anything else, then an empty line.
inline constexpr char kBanner[] =
    "lexbuild 1.3.23: dictionary database compiler for the Velmora reader\n"
    "Builds Palm OS dictionary databases from CSV and TAB word lists\n";

/// Runs the whole build for `args` (args[0] is the program's path). Returns
/// the exit status of a run that reaches its end (0); fatal reports are
/// raised as FatalError.
int run_lexbuild(const std::vector<std::string>& args, Console& console);

/// Reads up to 49 characters of the source as text; a TAB among them (before
/// any zero byte) makes the source format ".tab". An unreadable source
/// changes nothing.
void detect_source_format(Settings& settings);

/// Replaces an output name of "none.pdb" by "<id>.pdb".
void derive_outfile(Settings& settings);

/// 0 for ".csv", 1 for ".tab"; anything else is fatal.
int intake_index(const Settings& settings);

}  // namespace lexbuild
