#include "driver/timing.h"

#include <cstdio>

namespace lexbuild {

std::string timing_text(platform::Timestamp start, platform::Timestamp end) {
  int64_t seconds = end.seconds - start.seconds;
  int millis = static_cast<int>(end.millis) - static_cast<int>(start.millis);
  if (millis < 0) {
    seconds -= 1;
    millis += 1000;
  }
  // A clock set back during the build would give a negative time.
  if (seconds < 0) seconds = millis = 0;
  // Hours count modulo 24, as a calendar breakdown of the elapsed seconds does.
  const int hours = static_cast<int>((seconds / 3600) % 24);
  const int minutes = static_cast<int>((seconds / 60) % 60);
  const int secs = static_cast<int>(seconds % 60);

  char text[160];
  std::snprintf(text, sizeof text,
                "\nBeginning of building: %.8s.%hu"
                "\nEnding of building:    %.8s.%03d"
                "\nTotal building:        %02d:%02d:%02d.%03d\n",
                platform::local_clock_text(start.seconds).c_str(), start.millis,
                platform::local_clock_text(end.seconds).c_str(), static_cast<int>(end.millis),
                hours, minutes, secs, millis);
  return text;
}

void print_timing(Console& console, platform::Timestamp start, platform::Timestamp end) {
  console.write(timing_text(start, end));
}

}  // namespace lexbuild
