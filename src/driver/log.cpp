#include "driver/log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace lexbuild {

int Log::open_log(const std::string& name) {
  if (file_.is_open()) return 0;
  return file_.create(name, platform::FileMode::kText) ? 0 : -1;
}

void Log::write_log(const char* format, ...) {
  if (!file_.is_open()) return;
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (n > 0) {
    std::vector<char> text(static_cast<size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    file_.write(text.data(), static_cast<size_t>(n));
    file_.flush();
  }
  va_end(again);
}

void Log::close_log() {
  if (file_.is_open()) file_.close();
}

}  // namespace lexbuild
