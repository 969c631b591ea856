// The wall clock: the current time with milliseconds and its local-time text.
#pragma once

#include <cstdint>
#include <string>

namespace lexbuild::platform {

/// A point in time: whole seconds since 1970-01-01 00:00 UTC and the
/// milliseconds within that second (0 to 999).
struct Timestamp {
  int64_t seconds = 0;
  uint16_t millis = 0;
};

/// The current time.
Timestamp now();

/// The current time in whole seconds since 1970-01-01 00:00 UTC.
int64_t unix_time();

/// "HH:MM:SS" of `seconds` in the local time zone.
std::string local_clock_text(int64_t seconds);

}  // namespace lexbuild::platform
