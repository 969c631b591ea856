// The dictionary compiler: from the intermediate list to the database file.
#pragma once

#include "driver/build_context.h"

namespace lexbuild {

/// Compiles the intermediate list named by settings.infile into the database
/// named by settings.outfile.
void compile_dictionary(BuildContext& context);

}  // namespace lexbuild
