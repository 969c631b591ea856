// What every stage of a build is handed: the settings, the console, the log,
// the temporary names, the build's own files and the case mapping of the selected locale.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/build_files.h"
#include "driver/console.h"
#include "driver/line_map.h"
#include "driver/log.h"
#include "driver/settings.h"
#include "driver/temp_names.h"
#include "driver/text_changes.h"

namespace lexbuild {

/// The "C" locale's one-byte lower-case mapping: only A to Z change.
inline std::array<uint8_t, 256> c_lower_case() {
  std::array<uint8_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    table[b] = static_cast<uint8_t>(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
  }
  return table;
}

struct BuildContext {
  BuildContext(Settings& s, Console& c, Log& l)
      : settings(s), console(c), log(l), temp_names(s.work_folder) {}

  Settings& settings;
  Console& console;
  Log& log;
  TempNames temp_names;
  /// The stage and side files the build made, deleted when it fails.
  BuildFiles files;
  /// The user's source as --infile= names it, for messages ("-" for
  /// standard input), and the file that holds its bytes: the source itself,
  /// or the copy of a source that can be read only once.
  std::string source_name = settings.infile;
  std::string source_file = settings.infile;
  /// The source line of each line of the CSV reader's list, for the
  /// messages of the stages after it.
  LineMap source_lines;
  /// What the intake changed of the author's text, told at the end.
  TextChanges changes;
  /// One-byte lower-case mapping of the locale that the intake selected; the
  /// word table keys use it. The "C" mapping until a locale is selected.
  std::array<uint8_t, 256> lower_case = c_lower_case();
  /// A large buffer that a stage is done with, emptied but with its memory
  /// still taken: a later stage that needs one as large fills it instead of
  /// taking fresh memory, which costs the system more than the filling.
  std::vector<uint8_t> spare_buffer;
};

/// The source's name as messages give it: "standard input" for "-".
inline std::string source_name_for_messages(const BuildContext& context) {
  return context.source_name == "-" ? std::string("standard input") : context.source_name;
}

}  // namespace lexbuild
