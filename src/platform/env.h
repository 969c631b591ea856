// Process environment: the variables the program reads and the process id.
#pragma once

#include <optional>
#include <string>

namespace lexbuild::platform {

/// The value of environment variable `name`, or nothing when it is unset.
std::optional<std::string> get_env(const char* name);

/// A number that differs between processes running at the same time.
long process_id();

}  // namespace lexbuild::platform
