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

void release_unused_room(std::vector<uint8_t>& buffer) {
  SYSTEM_INFO system{};
  ::GetSystemInfo(&system);
  const auto page = static_cast<uintptr_t>(system.dwPageSize);
  const auto begin = reinterpret_cast<uintptr_t>(buffer.data());
  const uintptr_t first = (begin + buffer.size() + page - 1) & ~(page - 1);
  const uintptr_t last = (begin + buffer.capacity()) & ~(page - 1);
  if (last <= first) return;
  uint8_t* const at = buffer.data() + (first - begin);
  // The pages' contents are of no more use, and unlocking pages that were
  // never locked takes them out of the working set.
  ::VirtualAlloc(at, last - first, MEM_RESET, PAGE_READWRITE);
  ::VirtualUnlock(at, last - first);
}

}  // namespace lexbuild::platform
