// The byte 0x1A ends a list read as text, as it ends a text file: a source
// that holds one before its end loses the lines after it.
#pragma once

#include "driver/build_context.h"

namespace lexbuild {

/// Warns, with the line where reading stops and the bytes left unread, when
/// the source is read as text and holds the byte 0x1A before its last byte.
/// A source read as 16-bit units is not read as text and is not looked at.
void warn_early_end_of_text(BuildContext& context);

}  // namespace lexbuild
