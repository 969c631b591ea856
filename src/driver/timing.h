// The three timing lines that end a build.
#pragma once

#include <string>

#include "driver/console.h"
#include "platform/clock.h"

namespace lexbuild {

/// The three lines: start clock time (milliseconds unpadded), end clock time
/// (milliseconds padded to three digits) and the time the build took.
std::string timing_text(platform::Timestamp start, platform::Timestamp end);

void print_timing(Console& console, platform::Timestamp start, platform::Timestamp end);

}  // namespace lexbuild
