// Reporting: fatal reports, warnings and the scanner's own failures.
//
// A fatal report carries the exact text the user sees and the exit status up
// to main(), which alone prints it and ends the process; tests catch it.
#pragma once

#include <cstdarg>
#include <stdexcept>
#include <string>
#include <string_view>

#include "driver/console.h"

namespace lexbuild {

/// Largest message after formatting: the rest is cut.
inline constexpr size_t kMessageCapacity = 512;

class FatalError : public std::runtime_error {
 public:
  enum class Channel { kStdout, kStderr };

  FatalError(std::string output, int exit_status, Channel channel)
      : std::runtime_error(output),
        output_(std::move(output)),
        exit_status_(exit_status),
        channel_(channel) {}

  /// The exact text to print.
  const std::string& output() const { return output_; }
  int exit_status() const { return exit_status_; }
  Channel channel() const { return channel_; }

 private:
  std::string output_;
  int exit_status_;
  Channel channel_;
};

/// Formats with the printf rules, cut to at most 511 characters.
std::string format_message(const char* format, va_list args);
std::string format_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// "lexbuild error: <message>" on standard output, exit status 1.
[[noreturn]] void report_fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// `text` unchanged on standard output, exit status 1.
[[noreturn]] void report_fatal_plain(std::string_view text);

/// `text` and a line break on standard error, exit status 2.
[[noreturn]] void scanner_fatal(std::string_view text);

/// "lexbuild: <message>" on the console; the run goes on.
void report_warning(Console& console, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace lexbuild
