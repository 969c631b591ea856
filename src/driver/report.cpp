#include "driver/report.h"

#include <algorithm>
#include <cstdio>

namespace lexbuild {

std::string format_message(const char* format, va_list args) {
  char buffer[kMessageCapacity];
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (n < 0) return std::string();
  return std::string(buffer, std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1));
}

std::string format_message(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = format_message(format, args);
  va_end(args);
  return message;
}

void report_fatal(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = format_message(format, args);
  va_end(args);
  throw FatalError("lexbuild error: " + message, 1, FatalError::Channel::kStdout);
}

void report_fatal_plain(std::string_view text) {
  throw FatalError(std::string(text), 1, FatalError::Channel::kStdout);
}

void scanner_fatal(std::string_view text) {
  throw FatalError(std::string(text) + "\n", 2, FatalError::Channel::kStderr);
}

void report_warning(Console& console, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = format_message(format, args);
  va_end(args);
  console.write("lexbuild: " + message);
}

}  // namespace lexbuild
