// lexbuild: compiles a word list into a dictionary database.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "driver/report.h"
#include "main/run_sequence.h"
#include "platform/interrupt_cleanup.h"

namespace {

// Prints `text` on `stream`, on a line of its own: a progress line that
// overwrites itself leaves the line open.
int print_failure(const lexbuild::StdoutConsole& console, std::FILE* stream,
                  const std::string& text, int exit_status) {
  if (console.mid_line()) std::fputc('\n', stdout);
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
  return exit_status;
}

}  // namespace

int main(int argc, char** argv) {
  lexbuild::platform::install_interrupt_cleanup();
  lexbuild::StdoutConsole console;
  try {
    const std::vector<std::string> args(argv, argv + argc);
    return lexbuild::run_lexbuild(args, console);
  } catch (const lexbuild::FatalError& error) {
    std::FILE* stream = error.channel() == lexbuild::FatalError::Channel::kStderr ? stderr : stdout;
    return print_failure(console, stream, error.output(), error.exit_status());
  } catch (const std::bad_alloc&) {
    // Unwound like a fatal report, so that no half-written file stays.
    return print_failure(console, stdout,
                         "lexbuild error: not enough memory for this dictionary; close other "
                         "programs or split the word list\n",
                         1);
  } catch (const std::exception& error) {
    return print_failure(console, stdout,
                         std::string("lexbuild error: internal failure: ") + error.what() + "\n",
                         1);
  }
}
