// lexdump: reads a dictionary database back, verifies it, looks words up.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lexdump/commands.h"

namespace {

// Writes all of `text` to `stream`; false when the stream refused any of it.
bool write_all(const std::string& text, std::FILE* stream) {
  const size_t written = std::fwrite(text.data(), 1, text.size(), stream);
  return written == text.size() && std::fflush(stream) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const lexbuild::dump::CommandOutput result =
      lexbuild::dump::run_lexdump(std::vector<std::string>(argv, argv + argc));
  // The output is what the user asked for: when it cannot be written whole
  // (a full disk behind a redirection), a truncated dump must not pass for
  // a complete one.
  if (!write_all(result.out, stdout)) {
    const int error = errno;
    std::fprintf(stderr, "lexdump: cannot write the output: %s\n", std::strerror(error));
    return 1;
  }
  write_all(result.err, stderr);
  return result.status;
}
