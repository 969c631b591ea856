#include <windows.h>

#include <cstdio>
#include <ctime>

#include "platform/clock.h"

namespace lexbuild::platform {
namespace {

// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr uint64_t kUnixEpochTicks = 116444736000000000ULL;
constexpr uint64_t kTicksPerMilli = 10000;

}  // namespace

Timestamp now() {
  FILETIME time{};
  ::GetSystemTimeAsFileTime(&time);
  const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                         static_cast<uint64_t>(time.dwLowDateTime);
  const uint64_t ms = (ticks - kUnixEpochTicks) / kTicksPerMilli;
  Timestamp t;
  t.seconds = static_cast<int64_t>(ms / 1000);
  t.millis = static_cast<uint16_t>(ms % 1000);
  return t;
}

int64_t unix_time() { return static_cast<int64_t>(std::time(nullptr)); }

std::string local_clock_text(int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm local {};
  if (::localtime_s(&local, &t) != 0) return "00:00:00";
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

}  // namespace lexbuild::platform
