// The two intake routines: each turns the user's source into the sorted
// intermediate list through its chain of stages and runs the compiler on it.
#pragma once

#include "driver/build_context.h"

namespace lexbuild {

/// Comma-separated source: reader, splitter, conversion, sort, compiler.
int csv_intake(BuildContext& context);

/// Tab-separated source: splitter, conversion, sort, compiler.
int tab_intake(BuildContext& context);

}  // namespace lexbuild
