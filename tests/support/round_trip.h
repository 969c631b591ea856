// Round trips through the inspector: the built `lexdump` verifies a database
// and reads its entries back, to be compared with what the build should have
// stored.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/database_reader.h"
#include "support/test_support.h"

namespace lexbuild::testing {

/// Runs the built lexdump with `args`.
ProgramResult run_lexdump(const std::vector<std::string>& args);

/// The line `lexdump entries` writes for an entry as a build stores it
/// (8-bit bytes, or UTF-16 units for a `unicode` build, the word with its
/// trailing zero byte): word, TAB, translation, line feeds written as the
/// break escape, UTF-16 text as UTF-8.
std::string dump_line(const DecodedEntry& entry, bool unicode);

/// `lexdump verify` passes on `database`, and `lexdump entries` gives exactly
/// `expected`, in order.
::testing::AssertionResult round_trips(const std::string& database,
                                       const std::vector<DecodedEntry>& expected,
                                       bool unicode = false);

/// The same with the expected lines already in lexdump's form.
::testing::AssertionResult round_trips_lines(const std::string& database,
                                             const std::vector<std::string>& expected_lines);

}  // namespace lexbuild::testing
