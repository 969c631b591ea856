#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/clock.h"

namespace lexbuild::platform {

Timestamp now() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
  Timestamp t;
  t.seconds = ms / 1000;
  t.millis = static_cast<uint16_t>(ms % 1000);
  return t;
}

int64_t unix_time() { return static_cast<int64_t>(::time(nullptr)); }

std::string local_clock_text(int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm local {};
  if (::localtime_r(&t, &local) == nullptr) return "00:00:00";
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

}  // namespace lexbuild::platform
