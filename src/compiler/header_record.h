// Record 0: the header record that tells the reader where everything is.
#pragma once

#include "compiler/compiler_state.h"
#include "driver/build_context.h"

namespace lexbuild {

/// Writes "rec_0.bin" from the entry count, the chunk record counts W and T,
/// the presence flags and the settings unicode and largefont.
void write_header_record(BuildContext& context, const CompilerState& state);

}  // namespace lexbuild
