#include <windows.h>
// psapi.h needs the types of windows.h first.

#include <psapi.h>

#include "platform/memory.h"

namespace lexbuild::platform {

long memory_load_percent() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!::GlobalMemoryStatusEx(&status)) return 0;
  return static_cast<long>(status.dwMemoryLoad);
}

long peak_memory_kb() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<long>(counters.PeakWorkingSetSize / 1024);
}

// Large pages on Windows need a privilege that users do not hold.
void reserve_large_buffer(std::vector<uint8_t>& buffer, size_t capacity) {
  buffer.reserve(capacity);
}

}  // namespace lexbuild::platform
