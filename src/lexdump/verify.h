// Checks every structural rule that the handheld reader relies on.
#pragma once

#include <cstdint>
#include <vector>

#include "lexdump/pdb_file.h"

namespace lexbuild::dump {

struct VerifyReport {
  Findings findings;  // empty when every rule holds
  size_t records = 0;
  size_t chunks = 0;
  size_t entries = 0;
};

/// Verifies a database file's bytes. Never fails on damaged input: every
/// broken rule becomes a finding.
VerifyReport verify_database(std::vector<uint8_t> bytes);

}  // namespace lexbuild::dump
