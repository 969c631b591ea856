// Where progress lines, statistics and warnings go: standard output in the
// program, a string in tests.
#pragma once

#include <string>
#include <string_view>

namespace lexbuild {

class Console {
 public:
  virtual ~Console() = default;
  virtual void write(std::string_view text) = 0;
  /// Writes text formatted with the printf rules (no length limit).
  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

/// Writes to the process's standard output.
class StdoutConsole final : public Console {
 public:
  void write(std::string_view text) override;
  /// Whether the last text written left a line open (a progress line that
  /// overwrites itself, say), so that a message must start a new one.
  bool mid_line() const { return mid_line_; }

 private:
  bool mid_line_ = false;
};

/// Collects everything written, for tests.
class StringConsole final : public Console {
 public:
  void write(std::string_view text) override { text_ += text; }
  const std::string& text() const { return text_; }
  void clear() { text_.clear(); }

 private:
  std::string text_;
};

}  // namespace lexbuild
