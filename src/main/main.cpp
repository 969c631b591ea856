// lexbuild: compiles a word list into a dictionary database.
#include <cstdio>
#include <string>
#include <vector>

#include "driver/report.h"
#include "main/run_sequence.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  lexbuild::StdoutConsole console;
  try {
    return lexbuild::run_lexbuild(args, console);
  } catch (const lexbuild::FatalError& error) {
    std::fflush(stdout);
    std::FILE* stream = error.channel() == lexbuild::FatalError::Channel::kStderr ? stderr : stdout;
    std::fwrite(error.output().data(), 1, error.output().size(), stream);
    std::fflush(stream);
    return error.exit_status();
  }
}
