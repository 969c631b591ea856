#include <windows.h>

#include "platform/env.h"

namespace lexbuild::platform {

std::optional<std::string> get_env(const char* name) {
  std::string value(256, '\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length =
        ::GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      // Unset, or set to the empty text.
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // the size asked for, with the terminating zero
  }
}

long process_id() { return static_cast<long>(::GetCurrentProcessId()); }

}  // namespace lexbuild::platform
