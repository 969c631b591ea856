#include <sys/resource.h>

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

}  // namespace lexbuild::platform
