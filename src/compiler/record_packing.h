// Packing the chunk files into chunk records and index records.
#pragma once

#include <cstdint>
#include <string_view>

#include "compiler/word_table.h"
#include "driver/build_context.h"

namespace lexbuild {

/// Packs the chunk files of `kind` ("words" or "trans") ten to a chunk
/// record "rec_<kind>_%06ld.bin", writes the kind's index record
/// ("rec_indW.bin" or "rec_indT.bin") and links every node of `table` to the
/// record and slot of the chunk that holds its first entry. Returns the
/// number of chunk records written (W or T).
uint32_t pack_records(BuildContext& context, WordTable& table, std::string_view kind);

}  // namespace lexbuild
