// lexdump's commands: info, verify, entries and lookup.
#pragma once

#include <string>
#include <vector>

namespace lexbuild::dump {

inline constexpr char kLexdumpVersion[] = "1.3.23";

struct CommandOutput {
  std::string out;
  std::string err;
  int status = 0;
};

/// Runs lexdump with `args` (args[0] is the program's path).
CommandOutput run_lexdump(const std::vector<std::string>& args);

}  // namespace lexbuild::dump
