// Checks every structural rule that the handheld reader relies on.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "lexdump/lookup.h"
#include "lexdump/pdb_file.h"

namespace lexbuild::dump {

struct VerifyReport {
  Findings findings;  // empty when every rule holds
  size_t records = 0;
  size_t chunks = 0;
  size_t entries = 0;
  /// Whether every stored word was looked up (only in a sound structure).
  bool lookup_checked = false;
  /// Information, not damage: keys that stand in more than one word-table
  /// node, per level, and how many words a reader that follows only the
  /// first node of a key would not find.
  std::array<size_t, 4> repeated_keys{};
  size_t missed_by_first_node = 0;
};

/// Verifies a database file's bytes. Never fails on damaged input: every
/// broken rule becomes a finding. Words are looked up with `lower`, the
/// lower-case mapping of the dictionary's language; without it, with the
/// mapping that the word table's own keys show.
VerifyReport verify_database(std::vector<uint8_t> bytes, const LowerCase* lower = nullptr);

/// What verify checks, and what the format cannot show, as the report says.
extern const char kVerifyChecks[];
extern const char kVerifyLimits[];

}  // namespace lexbuild::dump
