// Checks of the source before the chain reads it, for mistakes that would
// give a wrong dictionary without a word: each warns, and the build goes on
// unchanged.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/build_context.h"

namespace lexbuild {

/// Warns when the source is read as text and holds the byte 0x1A before its
/// last byte (it ends a text file: the lines after it are lost), naming the
/// line where reading stops and the bytes left unread; and when a source
/// that looks like 16-bit Unicode is read as 8-bit text (without
/// --unicode=1), which gives entries of stray bytes; and the converse, 8-bit
/// text read in 16-bit units with --unicode=1.
void warn_about_source(BuildContext& context);

/// Whether `bytes`, the start of a file, look like UTF-16 text: a byte-order
/// mark, or zero bytes in many of its units (every ASCII character has one).
bool looks_16bit(const std::vector<uint8_t>& bytes);

}  // namespace lexbuild
