// The machine's memory load, shown in the debug progress line.
#pragma once

namespace lexbuild::platform {

/// Share of physical memory in use, 0 to 100.
long memory_load_percent();

/// Peak resident memory of this process in kilobytes (0 when unknown).
long peak_memory_kb();

}  // namespace lexbuild::platform
