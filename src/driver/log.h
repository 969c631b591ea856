// The debug log "lexbuild.log": file-level events of the compiler, each line
// flushed at once so that the log is complete up to a fatal error.
#pragma once

#include <string>

#include "platform/file.h"

namespace lexbuild {

class Log {
 public:
  /// Creates (or truncates) the log file in text mode. Does nothing and
  /// returns 0 when the log is already open; -1 when it cannot be created.
  int open_log(const std::string& name);
  /// Writes the formatted text when the log is open; nothing is added to it.
  void write_log(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void close_log();
  bool is_open() const { return file_.is_open(); }

 private:
  platform::OutputFile file_;
};

}  // namespace lexbuild
