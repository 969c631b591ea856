#include "compiler/chunking.h"

namespace lexbuild {

// Chunking is not built yet: no chunk file is written.
void cut_word_chunks(BuildContext&, const TextStores&) {}
void cut_translation_chunks(BuildContext&, const TextStores&) {}

}  // namespace lexbuild
