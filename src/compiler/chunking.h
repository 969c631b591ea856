// Cutting the text stores into compressed chunk files.
#pragma once

#include "compiler/text_stores.h"
#include "driver/build_context.h"

namespace lexbuild {

/// Cuts the word store into chunks of whole records below 8192 bytes, each
/// compressed into "words_%06ld_%05ld.bin" (first entry, entry count) in the
/// work folder.
void cut_word_chunks(BuildContext& context, const TextStores& stores);

/// The same for the translation store, into "trans_%06ld_%05ld.bin".
void cut_translation_chunks(BuildContext& context, const TextStores& stores);

}  // namespace lexbuild
