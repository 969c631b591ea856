#include <unistd.h>

#include <cstdlib>

#include "platform/env.h"

namespace lexbuild::platform {

std::optional<std::string> get_env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

long process_id() { return static_cast<long>(::getpid()); }

}  // namespace lexbuild::platform
