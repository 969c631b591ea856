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

// Large pages on Windows need a privilege that a user's account does not
// hold: the hint has nothing to ask for.
void advise_large_pages(const void* /*data*/, size_t /*bytes*/) {}

}  // namespace lexbuild::platform
