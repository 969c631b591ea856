#include <sys/mman.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/memory.h"

namespace lexbuild::platform {

long memory_load_percent() {
  std::FILE* f = std::fopen("/proc/meminfo", "r");
  if (f == nullptr) return 0;
  long total = 0;
  long available = 0;
  char line[256];
  while (std::fgets(line, sizeof line, f) != nullptr) {
    long value = 0;
    if (std::sscanf(line, "MemTotal: %ld", &value) == 1) total = value;
    if (std::sscanf(line, "MemAvailable: %ld", &value) == 1) available = value;
  }
  std::fclose(f);
  if (total <= 0 || available > total) return 0;
  return (total - available) * 100 / total;
}

long peak_memory_kb() {
  struct rusage usage {};
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return usage.ru_maxrss;
}

void reserve_large_buffer(std::vector<uint8_t>& buffer, size_t capacity) {
  if (capacity <= buffer.capacity()) return;
  buffer.reserve(capacity);
  // Transparent huge pages cover whole, aligned 2 MiB spans of the buffer;
  // the advice is only a hint, and a system without them ignores it.
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<uintptr_t>(buffer.data());
  const uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t last = (begin + buffer.capacity()) & ~(kHugePage - 1);
  if (last > first) {
    // Offsets from the buffer keep its pointer's provenance.
    ::madvise(buffer.data() + (first - begin), last - first, MADV_HUGEPAGE);
  }
}

}  // namespace lexbuild::platform
