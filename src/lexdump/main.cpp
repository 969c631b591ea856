// lexdump: reads a dictionary database back, verifies it, looks words up.
#include <cstdio>
#include <string>
#include <vector>

#include "lexdump/commands.h"

int main(int argc, char** argv) {
  const lexbuild::dump::CommandOutput result =
      lexbuild::dump::run_lexdump(std::vector<std::string>(argv, argv + argc));
  std::fwrite(result.out.data(), 1, result.out.size(), stdout);
  std::fwrite(result.err.data(), 1, result.err.size(), stderr);
  return result.status;
}
