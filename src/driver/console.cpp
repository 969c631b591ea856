#include "driver/console.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace lexbuild {

void Console::print(const char* format, ...) {
  char small[256];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) {
    va_end(again);
    return;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    write(std::string_view(small, static_cast<size_t>(n)));
  } else {
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, again);
    write(std::string_view(big.data(), static_cast<size_t>(n)));
  }
  va_end(again);
}

void StdoutConsole::write(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (!text.empty()) mid_line_ = text.back() != '\n';
}

}  // namespace lexbuild
