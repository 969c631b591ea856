// The compiler's stages after parsing, in their fixed order.
#pragma once

#include "compiler/compiler_state.h"
#include "driver/build_context.h"

namespace lexbuild {

/// Builds the word table, cuts and packs both stores, writes the word table,
/// optional and header records and assembles them into the database. The
/// stores must be closed.
void finish_compile(BuildContext& context, CompilerState& state);

}  // namespace lexbuild
