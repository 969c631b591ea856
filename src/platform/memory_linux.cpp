#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

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

void release_unused_room(std::vector<uint8_t>& buffer) {
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<uintptr_t>(buffer.data());
  const uintptr_t first = (begin + buffer.size() + page - 1) & ~(page - 1);
  const uintptr_t last = (begin + buffer.capacity()) & ~(page - 1);
  if (last <= first) return;
  ::madvise(buffer.data() + (first - begin), last - first, MADV_DONTNEED);
}

}  // namespace lexbuild::platform
